// Writes the seeds of the archive fuzz target into the folder given: small LZH files of every
// header level, of the methods the test writer can make, and with the member names an archive
// must not be allowed to use (climbing out with "..", absolute, drive letters, very long).
//   make_archive_seeds fuzz/corpus-archive

#include "lzhencoders.h"
#include "lzhwriter.h"

#include <string>
#include <vector>

namespace {

using kyro::test::LzhMember;

const std::string kSong = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x30", 14) + "MTrk\0\0\0\x04\0\xFF\x2F\0";

LzhMember Stored(const std::string& name, const std::string& folder, int level, const std::string& data = kSong) {
    return {name, folder, data, level};
}

// `data` packed by one of the test encoders.
LzhMember Packed(const std::string& name, const std::string& method, std::string (*encode)(const std::string&),
                 const std::string& data) {
    LzhMember member = Stored(name, "", 1, data);
    member.method = method;
    member.packed = encode(data);
    return member;
}

LzhMember FolderEntry(const std::string& folder) {
    LzhMember member = Stored("", folder, 2, "");
    member.directory = true;
    return member;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = std::string(argv[1]) + "/";
    const std::string text = kyro::test::SampleText(7, 200);
    bool ok = true;
    // Every header level, a folder entry, names in CP932 whose second bytes are "\" (表, ソ).
    ok &= kyro::test::WriteLzh(folder + "levels.lzh",
                               {Stored("a.mid", "", 0), Stored("sub\\\x95\x5c.rcp", "", 0), Stored("b.mid", "x/y", 1),
                                FolderEntry("x"), Stored("\x83\x5c.mid", "x", 2), Stored("c.mid", "", 3),
                                Stored("readme.txt", "", 1, text)});
    // Names that would leave the output folder.
    ok &= kyro::test::WriteLzh(folder + "climbing.lzh",
                               {Stored("../x.mid", "", 0), Stored("/abs/x.mid", "", 0), Stored("a\\..\\..\\y.mid", "", 0),
                                Stored("C:\\z.mid", "", 0), Stored("z.mid", "../..", 1), Stored("w.mid", "/etc", 2),
                                Stored("..", "", 2), Stored("ok.mid", "", 1)});
    // Long names: the longest a level 0 header holds (its size is one byte), and longer ones.
    ok &= kyro::test::WriteLzh(folder + "long.lzh",
                               {Stored(std::string(200, 'n') + ".mid", "", 0), Stored(std::string(600, 'm') + ".mid", "f", 2),
                                Stored("s.mid", std::string(300, 'd'), 2)});
    // The methods the test encoders make, and a stored member with a wrong CRC.
    LzhMember damaged = Stored("bad.mid", "", 1);
    damaged.damageCrc = true;
    ok &= kyro::test::WriteLzh(folder + "methods.lzh",
                               {Packed("z5.mid", "-lz5-", kyro::test::EncodeLz5, text),
                                Packed("zs.mid", "-lzs-", kyro::test::EncodeLzs, text),
                                Packed("h1.mid", "-lh1-", kyro::test::EncodeLh1, text),
                                Packed("p2.mid", "-pm2-", kyro::test::EncodePm2, text), damaged});
    return ok ? 0 : 1;
}
