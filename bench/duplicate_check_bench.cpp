// duplicate_check_bench: the list editor's duplicate check on a full group of 999 entries.
//
// The texts are song paths as a group shows them, about one in twelve a copy of an earlier one.
// MarkDuplicates runs with a keepGoing that always agrees, as the editor's does between its
// event processing; the figure is the median of many runs. The marks are checked against a plain
// pass that compares every unmarked base with every later entry. The last line is the median in
// milliseconds.

#include "editor/entrymatch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEntries = 999;
constexpr int kRuns = 51;

std::vector<std::string> GroupTexts() {
    static const char* const kFolders[] = {"D:\\MIDI\\GAME\\", "D:\\MIDI\\ANIME\\", "E:\\RCP\\", "D:\\LZH\\"};
    static const char* const kStems[] = {"opening", "stage", "boss", "ending", "theme", "battle", "field", "town"};
    std::mt19937 random(7);
    std::vector<std::string> texts;
    for (int i = 0; i < kEntries; ++i) {
        if (i > 0 && random() % 12 == 0) {
            texts.push_back(texts[random() % texts.size()]);
            continue;
        }
        const std::size_t folder = random() % 4;
        std::string text = kFolders[folder];
        if (folder == 3) text += "PACK" + std::to_string(random() % 100) + ".LZH->";  // an archive member
        text += std::string(kStems[random() % 8]) + std::to_string(random() % 1000) + (random() % 4 ? ".mid" : ".rcp");
        texts.push_back(text);
    }
    return texts;
}

// The check as one pass: every base not yet marked against every later entry.
std::vector<bool> PlainPass(const std::vector<std::string>& texts) {
    std::vector<bool> marked(texts.size(), false);
    for (std::size_t j = 0; j + 1 < texts.size(); ++j) {
        if (marked[j]) continue;
        for (std::size_t k = j + 1; k < texts.size(); ++k)
            if (texts[k] == texts[j]) marked[k] = true;
    }
    return marked;
}

}  // namespace

int main() {
    const std::vector<std::string> texts = GroupTexts();
    std::vector<double> times;
    kyro::DuplicateResult result;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        result = kyro::MarkDuplicates(texts, [](int) { return true; });
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    if (result.aborted || result.marked != PlainPass(texts)) {
        std::fprintf(stderr, "the marks differ from a plain pass\n");
        return 1;
    }
    std::sort(times.begin(), times.end());
    const long duplicates = std::count(result.marked.begin(), result.marked.end(), true);
    std::printf("%d entries, %ld duplicates; median of %d runs %.3f ms (fastest %.3f, slowest %.3f)\n", kEntries,
                duplicates, kRuns, times[kRuns / 2], times.front(), times.back());
    std::printf("duplicate check %.1f ms\n", times[kRuns / 2]);
    return 0;
}
