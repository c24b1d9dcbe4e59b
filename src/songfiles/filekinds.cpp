#include "songfiles/filekinds.h"

#include "platform/cp932bytes.h"

namespace kyro {

namespace {

// Upper-case extensions as CP932 bytes. ".読" is 2E 93 C7 and ".毒" is 2E 93 C5.
constexpr std::string_view kSongExtensions[] = {".MID", ".RCP", ".LZH"};
constexpr FileKind kSongKinds[] = {FileKind::Mid, FileKind::Rcp, FileKind::Lzh};
constexpr std::string_view kDocumentExtensions[] = {".DOC", ".TXT", ".HIS", "\x2E\x93\xC7", "\x2E\x93\xC5"};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

std::string UpperCaseCp932(std::string_view text) {
    std::string upper(text);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const auto b = static_cast<unsigned char>(upper[i]);
        if (IsCp932LeadByte(b)) {
            ++i;  // the second byte belongs to the character
        } else if (b >= 'a' && b <= 'z') {
            upper[i] = static_cast<char>(b - 'a' + 'A');
        }
    }
    return upper;
}

FileKind ClassifyFileName(const std::string& name, int purpose) {
    const std::string upper = UpperCaseCp932(name);
    if (purpose == kPurposeSongs) {
        for (std::size_t i = 0; i < std::size(kSongExtensions); ++i)
            if (Contains(upper, kSongExtensions[i])) return kSongKinds[i];
    } else if (purpose == kPurposeDocuments) {
        for (std::string_view extension : kDocumentExtensions)
            if (Contains(upper, extension)) return FileKind::Document;
    }
    return FileKind::Other;
}

bool IsPlayable(const std::string& path, bool archiveAvailable, bool rcpPlayable) {
    const std::string upper = UpperCaseCp932(path);
    if (Contains(upper, ".LZH") && !archiveAvailable) return false;
    if (Contains(upper, ".RCP") && !rcpPlayable) return false;
    return true;
}

}  // namespace kyro
