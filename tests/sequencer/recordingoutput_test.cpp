// The recording output the engine tests listen with: it must see every message, in order, from
// the engine's thread while the test reads it, and keep its log after the output is gone.
#include "recordingoutput.h"

#include <gtest/gtest.h>

#include <thread>

namespace kyro::test {
namespace {

TEST(RecordingOutputTest, RecordsMessagesAndFlushesInOrder) {
    auto output = std::make_unique<RecordingOutput>();
    const auto log = output->Log();
    const std::uint8_t on[] = {0x90, 60, 100}, sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, off[] = {0x80, 60, 0};
    output->Send(0, sysex, sizeof sysex);
    output->Send(1000, on, sizeof on);
    output->Flush(1500);
    output->Send(2000, off, sizeof off);
    output.reset();

    EXPECT_TRUE(log->Destroyed());
    const auto messages = log->Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].songTimeUs, 0);
    EXPECT_EQ(messages[0].bytes, std::vector<std::uint8_t>(sysex, sysex + sizeof sysex));
    EXPECT_EQ(messages[2].songTimeUs, 2000);
    ASSERT_EQ(log->Flushes().size(), 1u);
    EXPECT_EQ(log->Flushes()[0].songTimeUs, 1500);
    EXPECT_EQ(log->Flushes()[0].afterMessages, 2u);
    EXPECT_EQ(log->MessagesWhere(IsNoteOn).size(), 1u);
    EXPECT_EQ(log->MessagesWhere(IsNoteOff).size(), 1u);
}

TEST(RecordingOutputTest, SeesEverySendFromAnotherThread) {
    RecordingOutput output;
    constexpr int kCount = 20000;
    std::thread engine([&] {
        for (int i = 0; i < kCount; ++i) {
            const std::uint8_t cc[] = {0xB0, 7, std::uint8_t(i & 0x7F)};
            output.Send(i, cc, sizeof cc);
        }
        output.Flush(kCount);
    });
    // Reading while the other thread writes (a data race here shows under ThreadSanitizer).
    while (output.Log()->MessageCount() < std::size_t(kCount / 2)) std::this_thread::yield();
    EXPECT_TRUE(output.Log()->WaitForFlushes(1, std::chrono::seconds(10)));
    engine.join();
    const auto messages = output.Messages();
    ASSERT_EQ(messages.size(), std::size_t(kCount));
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(messages[i].songTimeUs, i);
}

TEST(RecordingOutputTest, WaitingTimesOutWhenNothingComes) {
    RecordingOutput output;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(output.Log()->WaitForMessages(1, std::chrono::milliseconds(30)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    const std::uint8_t cc[] = {0xB0, 123, 0};
    output.Send(0, cc, sizeof cc);
    EXPECT_TRUE(output.Log()->WaitForMessages(1, std::chrono::milliseconds(0)));
    EXPECT_TRUE(IsController(output.Messages()[0].bytes, 123));
}

}  // namespace
}  // namespace kyro::test
