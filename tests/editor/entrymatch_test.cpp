// The list editor's search and duplicate check over display texts.

#include "editor/entrymatch.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

using Marks = std::vector<bool>;
using Strings = std::vector<std::string>;

TEST(SearchEntries, CaseAndTwoByteCharacters) {
    // "ア" is 83 41 and "ヂ" 83 61: second bytes that read as "A" and "a".
    const Strings texts = {"D:\\SONG.MID", "D:\\p.LZH->x.mid", "\x83\x41.RCP", "\x83\x61.RCP"};
    const struct {
        std::string needle;
        bool caseSensitive;
        Marks found;
    } cases[] = {
        {"mid", true, {false, true, false, false}},
        {"mid", false, {true, true, false, false}},
        {"a", true, {false, false, false, false}},
        {"x", false, {false, true, false, false}},
        {"a", false, {false, false, false, false}},
        {"\x83\x41", false, {false, false, true, false}},
        {"\x83\x61", false, {false, false, false, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchEntries(texts, c.needle, c.caseSensitive), c.found) << c.needle << " " << c.caseSensitive;
}

TEST(MarkDuplicates, LaterOccurrencesAreMarked) {
    const struct {
        Strings texts;
        Marks marked;
        std::vector<int> asked;
    } cases[] = {
        {{"A", "A", "B", "B"}, {false, true, false, true}, {0}},
        {{"A", "B", "A", "C", "C"}, {false, false, true, false, true}, {0}},
        {{"SONG.MID", "song.mid"}, {false, false}, {0}},
        {{"A"}, {false}, {}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<int> asked;
        const DuplicateResult result = MarkDuplicates(c.texts, [&](int base) {
            asked.push_back(base);
            return true;
        });
        EXPECT_EQ(result.marked, c.marked) << ::testing::PrintToString(c.texts);
        EXPECT_EQ(asked, c.asked) << ::testing::PrintToString(c.texts);
        EXPECT_FALSE(result.aborted);
    }
}

TEST(MarkDuplicates, StopKeepsTheMarksOfTheBasesCompared) {
    Strings texts;
    for (int i = 0; i < 25; ++i) texts.push_back("song" + std::to_string(i) + ".mid");
    texts[3] = texts[0];    // base 0: marked
    texts[11] = texts[10];  // base 10, compared before the stop: marked
    texts[15] = texts[12];  // base 12, never reached
    std::vector<int> asked;
    const DuplicateResult result = MarkDuplicates(texts, [&](int base) {
        asked.push_back(base);
        return base < 10;
    });
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(asked, (std::vector<int>{0, 10}));
    Marks expected(texts.size(), false);
    expected[3] = expected[11] = true;
    EXPECT_EQ(result.marked, expected);
}

}  // namespace
}  // namespace kyro
