#include "sequencer/player.h"

#include "sequencer/engine.h"
#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"
#include "sequencer/songfile.h"
#include "sequencer/song.h"
#include "sequencer/songtimeline.h"

#include "platform/filesystem.h"
#include "platform/profile.h"

#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>
#include <utility>

namespace kyro {

namespace {

// A Standard MIDI File of a jukebox is some kilobytes; anything far larger is not one.
constexpr qint64 kMaxSongBytes = qint64(kMaxMidiFileBytes);

std::uint32_t LittleEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
}

// A Standard MIDI File: "MThd" at the start, or a RIFF "RMID" file whose "data" chunk holds one.
bool IsStandardMidiFile(const QByteArray& bytes) {
    if (bytes.startsWith("MThd")) return true;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || std::memcmp(bytes.constData() + 8, "RMID", 4) != 0)
        return false;
    qsizetype pos = 12;
    while (bytes.size() - pos >= 8) {
        const char* chunk = bytes.constData() + pos;
        const std::uint32_t length = LittleEndian32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0)
            return length >= 4 && bytes.size() - pos - 8 >= 4 && std::memcmp(chunk + 8, "MThd", 4) == 0;
        // Chunks are padded to an even length; a length beyond the file ends the search.
        const std::uint64_t next = std::uint64_t(pos) + 8 + length + (length & 1);
        if (next > std::uint64_t(bytes.size())) return false;
        pos = static_cast<qsizetype>(next);
    }
    return false;
}

std::string LowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!s.empty() && s.front() == '.') s.erase(0, 1);
    return s;
}

std::set<std::string> SplitTypes(const std::string& list) {
    std::set<std::string> types;
    std::string word;
    for (char c : list + ",") {
        if (c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) types.insert(LowerAscii(word));
            word.clear();
        } else {
            word += c;
        }
    }
    return types;
}

}  // namespace

QString PlayerErrorText(int code) {
    switch (code) {
    case kPlayerNoError: return QString();
    case kPlayerFileNotFound: return QStringLiteral("指定されたファイルが見つかりません。");
    case kPlayerCannotRead: return QStringLiteral("ファイルを読み込めません。");
    case kPlayerNotOpen: return QStringLiteral("デバイスが開かれていません。");
    default: return QStringLiteral("原因不明のｴﾗｰ");  // an error without a stated cause
    }
}

Player1::Player1(QObject* parent) : QObject(parent), engine_(std::make_unique<SequencerEngine>()) {
    connect(this, &Player1::Notified, this, [this](NotifyResult result) {
        if (notifyHandler_) notifyHandler_(result);
    });
}

void Player1::SetNotifyHandler(std::function<void(NotifyResult)> handler) { notifyHandler_ = std::move(handler); }

Player1::~Player1() {
    // The engine's thread ends before the output and the song it plays go; a completion it
    // queued dies with this object.
    engine_.reset();
}

void Player1::Fail(int code, QString text) {
    errorCode_ = code;
    errorText_ = std::move(text);
}

QString Player1::ErrorText() const {
    return errorCode_ == kPlayerNoError || errorText_.isEmpty() ? PlayerErrorText(errorCode_) : errorText_;
}

void Player1::Finish(NotifyResult result) {
    playing_ = false;
    ++playSerial_;  // a completion still queued for the ended play is now stale
    if (!noticeOwed_) return;
    noticeOwed_ = false;
    // Posted, like every notice, so that the caller never sees it inside its own command.
    QMetaObject::invokeMethod(this, [this, result] { emit Notified(result); }, Qt::QueuedConnection);
}

void Player1::StopEngine(NotifyResult result) {
    if (!playing_) return;
    positionUs_ = engine_->Stop();  // silences what was sounding
    // A play that had reached the end (its completion not yet delivered) starts over next time.
    if (song_ && positionUs_ >= song_->lengthUs) positionUs_ = 0;
    Finish(result);
}

void Player1::CloseSong(NotifyResult result) {
    StopEngine(result);
    song_.reset();
    positionUs_ = 0;
    open_ = false;
}

// The output of the settings, kept from the last open while the settings name the same one.
bool Player1::MakeOutputReady() {
    const OutputSettings settings = settingsFile_.empty() ? OutputSettings{} : ReadOutputSettings(settingsFile_);
    engine_->SetClockScale(settings.clockScale);
    if (output_ && settings == outputSettings_) {
        timeline_->StartSong();
        return true;
    }
    timeline_.reset();
    output_.reset();  // a port or a synthesizer is released before another is opened
    OutputOpenResult opened = outputFactory_ ? outputFactory_(settings) : OpenOutput(settings);
    if (!opened.output) {
        Fail(kPlayerOutputFailed, QString::fromStdString(opened.error));
        return false;
    }
    output_ = std::move(opened.output);
    outputSettings_ = settings;
    timeline_ = std::make_unique<SongTimeline>(*output_);
    return true;
}

bool Player1::Open() {
    // An open device is closed first: a running song stops and its notice is superseded.
    CloseSong(NotifyResult::Superseded);
    Fail(kPlayerNoError, QString());

    const QString path = QString::fromStdString(fileName_);
    const QFileInfo info(path);
    if (fileName_.empty() || !info.exists()) {
        Fail(kPlayerFileNotFound, PlayerErrorText(kPlayerFileNotFound));
        return false;
    }
    // Only a regular file is read, opened without blocking: a FIFO named like a song would hold
    // the player at open() for good.
    const auto fileBytes =
        info.isDir() ? std::nullopt : ReadNativeFileBytes(fileName_, std::size_t(kMaxSongBytes) + 1);
    if (!fileBytes) {
        Fail(kPlayerCannotRead, PlayerErrorText(kPlayerCannotRead));
        return false;
    }
    const QByteArray bytes = QByteArray::fromStdString(*fileBytes);
    if (bytes.size() > kMaxSongBytes) {
        Fail(kPlayerCannotRead, QString::fromUtf8(kSongFileTooLargeText));
        return false;
    }
    // The automatic device plays what some reader knows, by the first bytes or by an RCP file's
    // name; the sequencer device reads the file as a song of the kind its first bytes say (a MIDI
    // file when they say nothing, unless it is named as an RCP file) and says why it is not one.
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto size = std::size_t(bytes.size());
    if (deviceType_ == DeviceType::Automatic && !IsStandardMidiFile(bytes) && !IsRcpFile(data, size) &&
        !HasRcpFileName(fileName_)) {
        Fail(kPlayerUnsupportedType, QStringLiteral("この種類のファイルは再生できません。"));
        return false;
    }
    SongReadResult read = ReadSongFile(data, size, fileName_);
    if (!read.ok) {
        Fail(kPlayerCannotRead, QString::fromStdString(read.error));
        return false;
    }
    if (!MakeOutputReady()) return false;
    song_ = std::make_shared<const Song>(std::move(read.song));
    positionUs_ = 0;
    open_ = true;
    return true;
}

bool Player1::Play() {
    Fail(kPlayerNoError, QString());
    if (!open_) {
        Fail(kPlayerNotOpen, PlayerErrorText(kPlayerNotOpen));
        return false;
    }
    StopEngine(NotifyResult::Superseded);  // a new play replaces the one under way

    playing_ = true;
    noticeOwed_ = notify_;
    const unsigned serial = ++playSerial_;
    if (wait_) {
        // Returns when the song has played to its end (reset files); the engine keeps time.
        engine_->Play(song_, *timeline_, positionUs_);
        engine_->WaitForEnd();
        positionUs_ = 0;
        Finish(NotifyResult::Successful);
        return true;
    }
    // The end arrives later on this thread; a stop, open or close in between makes it stale.
    engine_->Play(song_, *timeline_, positionUs_, [this, serial] {
        QMetaObject::invokeMethod(this, [this, serial] { PlayEnded(serial); }, Qt::QueuedConnection);
    });
    return true;
}

void Player1::PlayEnded(unsigned serial) {
    if (serial != playSerial_ || !playing_) return;
    engine_->WaitForEnd();  // the thread is past its last message
    positionUs_ = 0;        // the next play starts the song again
    playing_ = false;
    ++playSerial_;
    if (!noticeOwed_) return;
    noticeOwed_ = false;
    emit Notified(NotifyResult::Successful);
}

std::optional<std::int64_t> Player1::SongLengthUs() const {
    return song_ ? std::optional(song_->lengthUs) : std::nullopt;
}

std::int64_t Player1::PositionUs() const { return playing_ ? engine_->PositionUs() : positionUs_; }

void Player1::Stop() {
    Fail(kPlayerNoError, QString());
    // The position stays where playing stopped, for a later play.
    StopEngine(NotifyResult::Aborted);
}

void Player1::Close() {
    Fail(kPlayerNoError, QString());
    CloseSong(NotifyResult::Aborted);
}

std::string SequencerDeviceForType(const std::string& settingsNativePath, const std::string& extension) {
    const std::string type = LowerAscii(extension);
    // The types this sequencer has a reader for.
    const std::string device = type == "mid" || type == "rcp" ? "sequencer" : "";
    if (device.empty()) return device;

    const std::optional<std::string> narrowed = Profile(settingsNativePath).Value("MIDI", "Types");
    if (!narrowed) return device;
    return SplitTypes(*narrowed).count(type) ? device : std::string();
}

}  // namespace kyro
