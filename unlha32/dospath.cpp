#include "dospath.h"

#include "cp932names.h"

#include <iconv.h>
#include <linux/limits.h>

#include <atomic>

namespace unlha {

namespace {

std::atomic<UnlhaPathResolver> g_resolver{nullptr};

std::optional<std::string> DefaultResolve(const std::string& dos) {
    if (dos.size() < 3 || (dos[0] != 'Z' && dos[0] != 'z') || dos[1] != ':' || dos[2] != '\\') return std::nullopt;
    auto rest = Cp932ToUtf8(NormaliseSeparators(dos.substr(3)));
    if (!rest) return std::nullopt;
    return "/" + *rest;
}

}  // namespace

void SetPathResolver(UnlhaPathResolver resolver) { g_resolver.store(resolver); }

std::optional<std::string> Cp932ToUtf8(const std::string& text) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(text.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* to = out.data();
    size_t toLeft = out.size();
    size_t done = iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - toLeft);
    return out;
}

std::optional<std::string> ToNativePath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (path[0] == '/') return path;
    UnlhaPathResolver resolver = g_resolver.load();
    if (!resolver) return DefaultResolve(path);
    char buffer[PATH_MAX + 1] = {};
    if (!resolver(path.c_str(), buffer, sizeof buffer)) return std::nullopt;
    buffer[PATH_MAX] = '\0';
    if (buffer[0] == '\0') return std::nullopt;
    return std::string(buffer);
}

}  // namespace unlha
