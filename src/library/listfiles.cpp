#include "library/listfiles.h"

#include "library/settings.h"

#include "platform/cp932.h"
#include "platform/filereplace.h"
#include "platform/filesystem.h"
#include "platform/linereader.h"
#include "platform/messagebox.h"

#include <QString>

#include <optional>

namespace kyro {

namespace {

const char kListSaveFailed[] = "LISTが登録できません。";
const char kTitleSaveFailed[] = "タイトル一覧が登録できません。";

// The path after the map code must begin with a drive letter, ":" and "\".
bool IsValidListLine(const std::string& normalised) {
    return normalised.size() >= 4 && normalised[2] == ':' && normalised[3] == '\\';
}

// Answers true when reading goes on; false on Cancel (or a box closed without an answer).
bool AskAboutInvalidLine(const std::string& normalised, bool& skipAll) {
    QString text = QString::fromUtf8("不正なリストがあります。\n") + Cp932ToQString(normalised) +
                   QString::fromUtf8("\n全ての不正なリストを読み飛ばしますか？");
    switch (ShowMessage(text, MessageIcon::Question, MessageButtons::YesNoCancel)) {
    case ModalResult::Yes:
        skipAll = true;
        return true;
    case ModalResult::No:
        return true;
    default:
        return false;
    }
}

// A path holding a line end cannot be stored either; it is kept on one line the same way.
std::string ListLineForFile(const SongGroup& group, int k) {
    char map = IsMapCode(group.Map(k)) ? group.Map(k) : '0';
    return map + TitleForFile(group.Path(k));
}

std::string ListImage(const SongList& list) {
    std::string image;
    for (const auto& group : list.groups) {
        for (int k = 0; k < kGroupCapacity; ++k) {
            if (k < group.Count()) image += ListLineForFile(group, k);
            image += "\r\n";
        }
    }
    return image;
}

// 8991 lines: each title on its entry's line, the stray titles on theirs, empty lines elsewhere.
std::string TitleImage(const SongList& list, const ListLayout& layout) {
    std::vector<std::string> lines(kSlotCount);
    for (const auto& [line, title] : layout.strayTitles) lines.at(line) = title;
    for (int g = 0; g < kGroupCount; ++g)
        for (int k = 0; k < list.groups[g].Count(); ++k)
            lines.at(layout.lines[g][k]) = TitleForFile(list.groups[g].Title(k));
    std::string image;
    for (const auto& line : lines) image += line + "\r\n";
    return image;
}

bool Fail(const char* message) {
    ShowMessage(QString::fromUtf8(message), MessageIcon::Exclamation);
    return false;
}

}  // namespace

ListLayout ListLayout::Packed(const SongList& list) {
    ListLayout layout;
    for (int g = 0; g < kGroupCount; ++g)
        for (int k = 0; k < list.groups[g].Count(); ++k) layout.lines[g].push_back(g * kGroupCapacity + k);
    return layout;
}

bool ListLayout::Fits(const SongList& list) const {
    for (int g = 0; g < kGroupCount; ++g) {
        if (static_cast<int>(lines[g].size()) != list.groups[g].Count()) return false;
        for (int line : lines[g])
            if (line < g * kGroupCapacity || line >= (g + 1) * kGroupCapacity) return false;
    }
    return true;
}

ListLoadResult LoadSongList(const std::string& programFolder, int warningMsg, SongList& list) {
    ListLoadResult result;
    for (auto& group : list.groups) group.Clear();

    LineReader lines(programFolder + kListFileName, kMaxLineBytes);
    if (!lines.IsOpen()) return result;
    ListLayout& layout = result.layout;
    LineReader titles(programFolder + kTitleFileName, kMaxLineBytes);

    bool skipAll = (warningMsg & kWarnErrList) == 0;
    // Every line read is one slot, whatever it holds, so group g always starts at line g * 999 + 1.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::optional<std::string> line = lines.Next();
        if (!line) break;
        std::string title = titles.Next().value_or(std::string());
        std::string normalised = line->empty() || IsMapCode((*line)[0]) ? *line : '0' + *line;
        if (IsValidListLine(normalised)) {
            list.groups[slot / kGroupCapacity].Append({normalised.substr(1), title, normalised[0]});
            layout.lines[slot / kGroupCapacity].push_back(slot);
            continue;
        }
        if (!title.empty()) layout.strayTitles.emplace(slot, title);
        if (line->empty() || skipAll) continue;
        if (!AskAboutInvalidLine(normalised, skipAll)) {
            result.quitRequested = true;
            break;
        }
    }
    return result;
}

bool SaveSongList(const std::string& programFolder, const SongList& list) {
    // The list first, as its message says when nothing can be written; a failure of either
    // file, or of the journal that binds them, leaves both old files as they were.
    switch (WriteFilesAtomic({{programFolder + kListFileName, ListImage(list)},
                              {programFolder + kTitleFileName, TitleImage(list, ListLayout::Packed(list))}})) {
    case -1: return true;
    case 0: return Fail(kListSaveFailed);
    default: return Fail(kTitleSaveFailed);
    }
}

bool SaveTitles(const std::string& programFolder, const SongList& list, const ListLayout& layout) {
    const std::string image = TitleImage(list, layout.Fits(list) ? layout : ListLayout::Packed(list));
    if (WriteFileAtomic(programFolder + kTitleFileName, image)) return true;
    return Fail(kTitleSaveFailed);
}

std::string TitleForFile(const std::string& title) {
    std::string stored = title;
    for (char& c : stored)
        if (c == '\r' || c == '\n') c = ' ';
    return stored;
}

}  // namespace kyro
