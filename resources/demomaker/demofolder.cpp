#include "demofolder.h"

#include "library/listfiles.h"
#include "lzhwriter.h"
#include "platform/drives.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace kyro::demo {

namespace {

const char* const kGroupNames[] = {"日本の歌", "クラシック", "世界の民謡", "オリジナル"};

std::string SongDosPath(const DemoSong& s) {
    return s.archived ? std::string(kArchiveDosPath) + "->" + s.file : "D:\\SONGS\\" + s.file;
}

std::string Crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

std::string Settings() {
    std::vector<std::string> lines = {
        "[KYRO32]",
        "ListRandomType=1",   // SEMI RANDOM: each group shuffled...
        "GroupRandomType=2",  // ...and the groups in order, Group1 first
        "UnlhaBusy=5",
        "AutoStart=5",
        "WarningMsg=12287",  // the default: every warning on
        "ListNumber=0",
        "GroupSel=511",
    };
    const std::vector<std::string> names = DemoGroupNames();
    for (std::size_t g = 0; g < std::size(kGroupNames); ++g)
        lines.push_back("Group" + std::to_string(g + 1) + "=" + names[g]);
    return Crlf(lines);
}

std::string ArchiveReadme() {
    return Cp932(Crlf({
        "日本の歌　４曲",
        "",
        "  sakura.mid   さくらさくら    日本古謡",
        "  kaeru.mid    かえるのうた    ドイツ民謡（三部の輪唱）",
        "  hotaru.mid   蛍の光          スコットランド民謡",
        "  tsukiyo.rcp  月夜の舟歌      オリジナル（RCP 3.x 形式）",
        "",
        "どの曲も著作権の切れた旋律か書き下ろしの旋律を Kyrotune のデモのために編曲したものです。",
        "General MIDI 音源で演奏できます。自由にお使いください。",
    }));
}

// A stored member with a level 0 header, the kind every LZH tool reads.
test::LzhMember Member(const std::string& name, const std::string& data) {
    test::LzhMember m;
    m.name = name;
    m.data = data;
    return m;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::cerr << "cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

std::vector<std::string> DemoGroupNames() {
    std::vector<std::string> names;
    for (int g = 0; g < kGroupCount; ++g)
        names.push_back(g < static_cast<int>(std::size(kGroupNames)) ? Cp932(kGroupNames[g]) : "Group" + std::to_string(g + 1));
    return names;
}

SongList DemoList(const std::vector<DemoSong>& songs) {
    SongList list;
    const std::vector<std::string> names = DemoGroupNames();
    for (int g = 0; g < kGroupCount; ++g) list.groupNames[g] = names[g];
    for (const DemoSong& s : songs)
        list.groups.at(s.group).Append({SongDosPath(s), s.listTitle ? Cp932(*s.listTitle) : kUntitledMarker, s.map});
    return list;
}

std::vector<DemoFile> DemoFiles(const std::vector<DemoSong>& songs) {
    std::vector<DemoFile> files;
    std::vector<test::LzhMember> members;
    for (const DemoSong& s : songs) {
        if (s.archived) members.push_back(Member(s.file, s.bytes));
        else files.push_back({"SONGS/" + s.file, s.bytes});
    }
    members.push_back(Member("README.TXT", ArchiveReadme()));
    files.push_back({kArchiveFile, test::BuildLzh(members)});
    files.push_back({"KYRO32.INI", Settings()});
    return files;
}

bool WriteDemoFolder(const std::string& nativeFolder, const std::vector<DemoSong>& songs) {
    const std::filesystem::path root = std::filesystem::absolute(nativeFolder);
    for (const DemoFile& f : DemoFiles(songs))
        if (!WriteFile(root / f.relativePath, f.bytes)) return false;

    DriveMap drives = DriveMap::Default();
    drives.Set(kDemoDrive, root.lexically_normal().string());
    SetActiveDriveMap(drives);
    if (!SaveSongList("D:\\", DemoList(songs))) {
        std::cerr << "cannot write the list files into " << root << "\n";
        return false;
    }
    return true;
}

}  // namespace kyro::demo
