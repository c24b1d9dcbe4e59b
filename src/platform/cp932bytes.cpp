#include "platform/cp932bytes.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace kyro {

namespace {

// glibc's "CP932" is true code page 932 ("SHIFT_JIS" is JIS X 0208 and refuses "～", "①", "－").
constexpr char kCp932[] = "CP932";
constexpr char kUtf8[] = "UTF-8";
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// One converter per direction and thread: iconv_t is not thread-safe, and opening one per call
// costs twice as much as resetting a kept one.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + inLeft) as it can, appending to `out`. Returns 0 when all was
    // converted, else the errno of the stop (EILSEQ or EINVAL) with `in`/`inLeft` at the bad byte.
    int Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh shift state every call
        while (inLeft > 0) {
            char buffer[1024];
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);  // iconv's signature is not const-correct
            const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            in = inPtr;
            if (rc != static_cast<std::size_t>(-1)) continue;
            if (err == E2BIG) continue;
            return err;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

Converter& Decoder() {
    thread_local Converter decoder(kUtf8, kCp932);
    return decoder;
}

Converter& Encoder() {
    thread_local Converter encoder(kCp932, kUtf8);
    return encoder;
}

bool IsCp932TrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2 + 4);
    const char* in = cp932.data();
    std::size_t left = cp932.size();
    Converter& decoder = Decoder();
    while (left > 0) {
        if (decoder.Valid() && decoder.Convert(in, left, out) == 0) break;
        // `in` is at a byte that cannot be decoded (or every non-ASCII byte, without a converter).
        const auto b = static_cast<unsigned char>(*in);
        if (!decoder.Valid() && b < 0x80) {
            out.push_back(*in);
            ++in;
            --left;
            continue;
        }
        // A well-formed pair without a character is one unknown character; a lead byte with a
        // bad trail byte is a lone byte, and the trail byte is read again on its own.
        const bool pair = IsCp932LeadByte(b) && left >= 2 && IsCp932TrailByte(static_cast<unsigned char>(in[1]));
        const std::size_t skip = pair ? 2 : 1;
        out += kReplacementUtf8;
        in += skip;
        left -= skip;
    }
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    Converter& encoder = Encoder();
    std::string out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    if (!encoder.Valid()) {
        // Without a converter only ASCII, which is the same in both, can be passed.
        for (char c : utf8)
            if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
        return std::string(utf8);
    }
    if (encoder.Convert(in, left, out) != 0) return std::nullopt;
    return out;
}

std::string FileNamePart(std::string_view dosPath) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < dosPath.size(); ++i) {
        const auto b = static_cast<unsigned char>(dosPath[i]);
        if (IsCp932LeadByte(b))
            ++i;
        else if (b == '\\')
            start = i + 1;
    }
    return std::string(dosPath.substr(start));
}

namespace {

unsigned char LowerAsciiLetter(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

int CompareIgnoringCaseCp932(std::string_view a, std::string_view b) {
    // Up to the first difference both texts have their two-byte characters at the same places
    // (a lead byte is never a letter, so it only equals the same lead byte), so one flag serves both.
    bool secondByte = false;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (!secondByte) {
            x = LowerAsciiLetter(x);
            y = LowerAsciiLetter(y);
        }
        if (x != y) return x < y ? -1 : 1;
        secondByte = !secondByte && IsCp932LeadByte(x);
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoringCaseCp932(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (IsCp932LeadByte(x)) {
            // A lead byte at the very end (a name cut short) has no second byte to compare.
            if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
            ++i;
        } else if (LowerAsciiLetter(x) != LowerAsciiLetter(y)) {
            return false;
        }
    }
    return true;
}

std::string CutCp932(std::string_view text, std::size_t maxBytes) {
    const std::size_t end = std::min(text.size(), maxBytes);
    std::size_t i = 0;
    while (i < end) {
        if (IsCp932LeadByte(static_cast<unsigned char>(text[i]))) {
            // The second byte is beyond the cut (or missing altogether): drop the lead byte.
            if (i + 1 >= end) return std::string(text.substr(0, i));
            i += 2;
        } else {
            ++i;
        }
    }
    return std::string(text.substr(0, end));
}

}  // namespace kyro
