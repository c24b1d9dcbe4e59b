#pragma once
// A player control for window tests: records every command with the flags in force, refuses a
// missing file as the real player does, fails on request, and delivers a completion notice when
// the test says the song has ended.

#include "sequencer/playercontrol.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kyro::test {

// Outlives the control, which the window owns.
struct FakePlayerLog {
    std::vector<std::string> commands;  // "open GM.MID", "play wait", "play notify", "stop", "close"
    std::vector<std::string> devices;   // the device type of each open: "seq" or "auto"
    bool failNextOpen = false;
    bool failNextPlay = false;
    bool playing = false;  // a play with notify under way
    std::int64_t songLengthUs = 0;  // what an open song reports
    std::int64_t positionUs = 0;
    std::function<void(NotifyResult)> handler;

    // The song under way has played to its end.
    void EndSong() {
        ASSERT_TRUE(playing) << "no song is playing";
        playing = false;
        handler(NotifyResult::Successful);
    }
    void Clear() { commands.clear(); }
};

class FakePlayer : public PlayerControl {
public:
    explicit FakePlayer(std::shared_ptr<FakePlayerLog> log) : log_(std::move(log)) {}

    void SetDeviceType(DeviceType t) override { device_ = t; }
    void SetWait(bool wait) override { wait_ = wait; }
    void SetNotify(bool notify) override { notify_ = notify; }
    void SetFileName(const std::string& nativePath) override { file_ = nativePath; }

    bool Open() override {
        log_->playing = false;  // the open closes what played
        open_ = false;
        log_->commands.push_back("open " + QFileInfo(QString::fromStdString(file_)).fileName().toStdString());
        log_->devices.push_back(device_ == DeviceType::Sequencer ? "seq" : "auto");
        if (std::exchange(log_->failNextOpen, false)) return Fail(4, QStringLiteral("出力を開けません。"));
        if (!QFileInfo::exists(QString::fromStdString(file_)))
            return Fail(1, QStringLiteral("指定されたファイルが見つかりません。"));
        return open_ = Fail(0, QString());
    }
    bool Play() override {
        std::string command = "play";
        if (wait_) command += " wait";
        if (notify_) command += " notify";
        log_->commands.push_back(command);
        if (std::exchange(log_->failNextPlay, false)) return Fail(3, QStringLiteral("デバイスが開かれていません。"));
        log_->playing = !wait_ && notify_;
        return Fail(0, QString());
    }
    void Stop() override {
        log_->commands.push_back("stop");
        log_->playing = false;
    }
    void Close() override {
        log_->commands.push_back("close");
        log_->playing = false;
        open_ = false;
    }
    std::optional<std::int64_t> SongLengthUs() const override {
        return open_ ? std::optional(log_->songLengthUs) : std::nullopt;
    }
    std::int64_t PositionUs() const override { return open_ ? log_->positionUs : 0; }
    int ErrorCode() const override { return code_; }
    QString ErrorText() const override { return text_; }
    void SetNotifyHandler(std::function<void(NotifyResult)> handler) override { log_->handler = std::move(handler); }

private:
    bool Fail(int code, QString text) {
        code_ = code;
        text_ = std::move(text);
        return code == 0;
    }

    std::shared_ptr<FakePlayerLog> log_;
    DeviceType device_ = DeviceType::Sequencer;
    bool wait_ = false;
    bool notify_ = false;
    std::string file_;
    bool open_ = false;
    int code_ = 0;
    QString text_;
};

}  // namespace kyro::test
