// libFuzzer target for the song list: any bytes as the list file KYROList.dat and the title file
// KYROTitl.dat (the input holds both, the title file after a line "--KYROTitl.dat--"; without it
// there is no title file). Loading must end without a crash and leave what the list promises:
// at most 999 songs a group, each with a path and a map code '0' to '4', lines cut to the line
// limit, and a layout that places every song on its own line of its own group and keeps stray
// titles on other lines.

#include "scratchfolder.h"

#include "library/listfiles.h"
#include "library/settings.h"
#include "platform/messagebox.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

const std::string_view kTitleFileMark = "\n--KYROTitl.dat--\n";

// The invalid-line question: "No" (skip this one) three times, then "Cancel", so that both the
// skipping and the stop of reading are reached.
kyro::ModalResult AnswerInvalidLine(int& asked) { return ++asked > 3 ? kyro::ModalResult::Cancel : kyro::ModalResult::No; }

void CheckLoaded(const kyro::SongList& list, const kyro::ListLayout& layout) {
    std::set<int> usedLines;
    for (int g = 0; g < kyro::kGroupCount; ++g) {
        const kyro::SongGroup& group = list.groups[g];
        if (group.Count() > kyro::kGroupCapacity) std::abort();
        if (static_cast<int>(layout.lines[g].size()) != group.Count()) std::abort();
        for (int k = 0; k < group.Count(); ++k) {
            if (group.Path(k).empty() || !kyro::IsMapCode(group.Map(k))) std::abort();
            // The line held the map code and the path; both files' lines are cut to the limit.
            if (group.Path(k).size() + 1 > kyro::kMaxLineBytes || group.Title(k).size() > kyro::kMaxLineBytes)
                std::abort();
            const int line = layout.lines[g][k];
            if (line < g * kyro::kGroupCapacity || line >= (g + 1) * kyro::kGroupCapacity) std::abort();
            if (!usedLines.insert(line).second) std::abort();
        }
    }
    if (!layout.Fits(list)) std::abort();
    for (const auto& [line, title] : layout.strayTitles)
        if (line < 0 || line >= kyro::kSlotCount || usedLines.count(line) || title.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = ScratchFolder() + "/";
    static const std::string dosFolder = DosFormOf(folder);

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t mark = input.find(kTitleFileMark);
    const std::string_view listBytes = input.substr(0, mark);
    WriteBytes(folder + kyro::kListFileName, data, listBytes.size());
    std::filesystem::remove(folder + kyro::kTitleFileName);
    if (mark != std::string_view::npos) {
        const std::size_t titlesAt = mark + kTitleFileMark.size();
        WriteBytes(folder + kyro::kTitleFileName, data + titlesAt, size - titlesAt);
    }

    int asked = 0;
    const kyro::MessageHandler previous =
        kyro::SetMessageResponder([&asked](const kyro::Message&) { return AnswerInvalidLine(asked); });
    kyro::SongList list;
    const kyro::ListLoadResult result = kyro::LoadSongList(dosFolder, kyro::kWarnErrList, list);
    kyro::SetMessageResponder(previous);

    // Cancel is the only way to a stop, and only after the question was asked.
    if (result.quitRequested && asked <= 3) std::abort();
    CheckLoaded(list, result.layout);
    return 0;
}
