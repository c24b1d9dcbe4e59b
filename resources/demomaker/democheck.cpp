#include "democheck.h"

#include "demofolder.h"
#include "library/listfiles.h"
#include "platform/drives.h"
#include "sequencer/songfile.h"
#include "songfiles/titles.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>

namespace kyro::demo {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kShortestUs = 20'000'000, kLongestUs = 40'000'000;

class Checker {
public:
    bool Fail(const std::string& what) {
        std::cout << "FAULT: " << what << "\n";
        ok_ = false;
        return false;
    }
    bool Ok() const { return ok_; }

private:
    bool ok_ = true;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the player's title reader finds: the text or name event of a Standard MIDI File, or an
// RCP header's whole title field (64 bytes in 2.x, the first 80 in 3.x), padding spaces included.
std::string ExpectedTitle(const DemoSong& s) {
    if (s.kind == SongFileKind::Smf) return s.titleEvent == TitleEvent::None ? Cp932("タイトル未設定") : Cp932(s.title);
    std::string title = Cp932(s.title);
    title.resize(s.kind == SongFileKind::Rcp2 ? 64 : 80, ' ');
    return title;
}

// The first bytes tell the kind, as the player tells it.
bool HasItsSignature(const DemoSong& s) {
    switch (s.kind) {
    case SongFileKind::Smf:
        return s.bytes.size() > 9 && s.bytes.compare(0, 4, "MThd") == 0 && s.bytes[9] == static_cast<char>(s.format);
    case SongFileKind::Rcp2: return s.bytes.rfind("RCM-PC98V2.0(C)COME ON MUSIC", 0) == 0;
    case SongFileKind::Rcp3: return s.bytes.rfind("COME ON MUSIC RECOMPOSER RCP3.0", 0) == 0;
    }
    return false;
}

void CheckSong(Checker& c, const DemoSong& s, const fs::path& scratch) {
    const SongReadResult read = ReadSongFile(reinterpret_cast<const std::uint8_t*>(s.bytes.data()), s.bytes.size());
    if (!read.ok) {
        c.Fail(s.file + " does not parse: " + read.error);
        return;
    }
    const double seconds = read.song.lengthUs / 1e6;
    std::cout << s.file << ": " << seconds << " s, " << read.song.events.size() << " events\n";
    if (read.song.lengthUs < kShortestUs || read.song.lengthUs > kLongestUs)
        c.Fail(s.file + " lasts " + std::to_string(seconds) + " s, not 20 to 40");
    if (!HasItsSignature(s)) c.Fail(s.file + " does not start as its kind of file does");

    // The player reads titles from files on disk: the same reader, on a scratch copy.
    std::ofstream(scratch / s.file, std::ios::binary) << s.bytes;
    std::string title;
    const std::string dosPath = std::string("T:\\") + s.file;
    const int titleRead = s.kind == SongFileKind::Smf ? ReadMidiTitle(dosPath, title) : ReadRcpTitle(dosPath, title);
    if (titleRead != kTitleRead) {
        c.Fail(s.file + ": the title reader cannot open the scratch copy");
        return;
    }
    if (title != ExpectedTitle(s)) c.Fail(s.file + ": the title reads as \"" + title + "\"");
}

// Exactly 8991 lines, each ending in CR LF.
void CheckLineShape(Checker& c, const fs::path& file) {
    const std::string bytes = ReadAll(file);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n') {
            ++lines;
            if (i == 0 || bytes[i - 1] != '\r') return void(c.Fail(file.string() + ": a line without CR LF"));
        }
    if (lines != static_cast<std::size_t>(kSlotCount) || bytes.empty() || bytes.back() != '\n')
        c.Fail(file.string() + " has " + std::to_string(lines) + " lines, not " + std::to_string(kSlotCount));
}

void CheckList(Checker& c, const fs::path& root, const std::vector<DemoSong>& songs) {
    CheckLineShape(c, root / kListFileName);
    CheckLineShape(c, root / kTitleFileName);
    SongList loaded;
    const SongList expected = DemoList(songs);
    LoadSongList("D:\\", 0x2FFF, loaded);
    for (int g = 0; g < kGroupCount; ++g)
        if (!(loaded.groups[g] == expected.groups[g]))
            c.Fail("group " + std::to_string(g + 1) + " does not reload as written");
}

// Every file the generator writes, and nothing else.
void CheckFiles(Checker& c, const fs::path& root, const fs::path& fresh) {
    std::set<std::string> want, have;
    for (const auto& e : fs::recursive_directory_iterator(fresh))
        if (e.is_regular_file()) want.insert(fs::relative(e.path(), fresh).generic_string());
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) have.insert(fs::relative(e.path(), root).generic_string());
    for (const std::string& f : want) {
        if (!have.count(f)) c.Fail(f + " is missing");
        else if (ReadAll(root / f) != ReadAll(fresh / f)) c.Fail(f + " differs from what the generator writes");
    }
    for (const std::string& f : have)
        if (!want.count(f)) c.Fail(f + " is not the generator's");
}

}  // namespace

bool CheckDemoFolder(const std::string& nativeFolder, const std::vector<DemoSong>& songs) {
    Checker c;
    const fs::path root = fs::absolute(nativeFolder).lexically_normal();
    QTemporaryDir scratch, fresh;
    if (!scratch.isValid() || !fresh.isValid()) return c.Fail("no temporary folder");
    if (!WriteDemoFolder(fresh.path().toStdString(), songs)) return c.Fail("cannot write a fresh copy");

    DriveMap drives = DriveMap::Default();
    drives.Set(kDemoDrive, root.string());
    drives.Set('T', scratch.path().toStdString());
    SetActiveDriveMap(drives);

    for (const DemoSong& s : songs) CheckSong(c, s, scratch.path().toStdString());
    CheckList(c, root, songs);
    CheckFiles(c, root, fresh.path().toStdString());
    return c.Ok();
}

}  // namespace kyro::demo
