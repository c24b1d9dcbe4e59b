#include "sequencer/outputmodule.h"

#include "platform/filesystem.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

namespace kyro {

namespace {

// The file of the library or executable that holds this code.
std::filesystem::path FileOfThisCode() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&LoadOutputModule), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const auto file = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::filesystem::path() : file;
}

struct Loaded {
    const OutputModule* module = nullptr;
    std::string error;
};

bool IsInside(const std::filesystem::path& file, const std::filesystem::path& folder) {
    std::error_code ec;
    const std::string inside = std::filesystem::weakly_canonical(folder, ec).string() + "/";
    return !ec && file.string().starts_with(inside);
}

// Where the module may be, in order. The player's library looks beside itself only, so that an
// installed copy never loads a module of some build tree. An executable holding this code (the
// WAV converter) looks beside itself, then in lib/kyrotune of an installed prefix; a test or
// benchmark, an executable inside the build tree, also in the build's program folder.
std::vector<std::filesystem::path> ModulePlaces() {
    const std::filesystem::path code = FileOfThisCode();
    std::error_code ec;
    if (!code.empty() && code != std::filesystem::canonical("/proc/self/exe", ec))
        return {code.parent_path() / kOutputModuleFile};
    std::vector<std::filesystem::path> places;
    if (!code.empty()) {
        places.push_back(code.parent_path() / kOutputModuleFile);
        places.push_back((code.parent_path() / kInstalledFilesFolder / kOutputModuleFile).lexically_normal());
    }
#ifdef KYRO_OUTPUT_MODULE_BUILD_DIR
    const std::filesystem::path build(KYRO_OUTPUT_MODULE_BUILD_DIR);
    if (code.empty() || IsInside(code, build.parent_path())) places.push_back(build / kOutputModuleFile);
#endif
    return places;
}

Loaded Load() {
    std::string why;
    for (const std::filesystem::path& place : ModulePlaces()) {
        // Local: the module's copies of its libraries' symbols stay its own.
        void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            why += std::string(why.empty() ? "" : "; ") + ::dlerror();
            continue;
        }
        const auto entry = reinterpret_cast<OutputModuleFunction>(::dlsym(handle, kOutputModuleSymbol));
        if (const OutputModule* module = entry ? entry() : nullptr) return {module, {}};
        why += std::string(why.empty() ? "" : "; ") + place.string() + ": " + kOutputModuleSymbol + " がありません";
    }
    return {nullptr, std::string("MIDI 出力のモジュール ") + kOutputModuleFile + " を読み込めません: " + why};
}

}  // namespace

const OutputModule* LoadOutputModule(std::string& error) {
    static const Loaded loaded = Load();  // once, whichever thread asks first
    if (!loaded.module) error = loaded.error;
    return loaded.module;
}

}  // namespace kyro
