// libFuzzer target for the title readers of song files (the list editor's title column): any
// bytes as a MIDI file and as an RCP file. A title that is read holds at most 80 bytes (64 after
// the 2.x signature), never ends in the first byte of a two-byte character and has no NUL; a
// title that is not read stays as it was.

#include "scratchfolder.h"

#include "platform/cp932bytes.h"
#include "songfiles/titles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const std::string kUnchanged = "(unchanged)";

void CheckTitle(const std::string& title, std::size_t maxBytes) {
    if (title.size() > maxBytes || title.find('\0') != std::string::npos) std::abort();
    for (std::size_t i = 0; i < title.size(); ++i) {
        if (!kyro::IsCp932LeadByte(static_cast<unsigned char>(title[i]))) continue;
        if (i + 1 == title.size()) std::abort();  // a lead byte cut from its second byte
        ++i;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = ScratchFolder() + "/SONG.MID";
    static const std::string dosFile = DosFormOf(file);
    WriteBytes(file, data, size);

    std::string title = kUnchanged;
    if (kyro::ReadMidiTitle(dosFile, title) != kyro::kTitleRead) std::abort();  // the file is there
    CheckTitle(title, kyro::kTitleMaxBytes);

    title = kUnchanged;
    const int rcp = kyro::ReadRcpTitle(dosFile, title);
    if (rcp == kyro::kTitleRead) {
        const bool rcp2 = std::string_view(reinterpret_cast<const char*>(data), size).starts_with("RCM-PC98V2.0(C)COME ON MUSIC");
        CheckTitle(title, rcp2 ? 64 : kyro::kTitleMaxBytes);
    } else if (rcp != kyro::kTitleUnreadable || title != kUnchanged) {
        std::abort();
    }
    return 0;
}
