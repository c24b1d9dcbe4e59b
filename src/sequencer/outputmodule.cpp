#include "sequencer/outputmodule.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

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

// The player's library looks beside itself only, so that an installed copy never loads a module
// of some build tree; a test or benchmark, which holds this code in its executable, looks in the
// build's program folder.
std::filesystem::path ModulePlace() {
    const std::filesystem::path code = FileOfThisCode();
    std::error_code ec;
    const bool inExecutable = code.empty() || code == std::filesystem::canonical("/proc/self/exe", ec);
#ifdef KYRO_OUTPUT_MODULE_BUILD_DIR
    if (inExecutable) return std::filesystem::path(KYRO_OUTPUT_MODULE_BUILD_DIR) / kOutputModuleFile;
#endif
    return code.parent_path() / kOutputModuleFile;
}

Loaded Load() {
    const std::filesystem::path place = ModulePlace();
    const auto cannot = [&](const std::string& why) {
        return Loaded{nullptr, std::string("MIDI 出力のモジュール ") + place.string() + " を読み込めません: " + why};
    };
    // Local: the module's copies of its libraries' symbols stay its own.
    void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return cannot(::dlerror());
    const auto entry = reinterpret_cast<OutputModuleFunction>(::dlsym(handle, kOutputModuleSymbol));
    const OutputModule* module = entry ? entry() : nullptr;
    return module ? Loaded{module, {}} : cannot(std::string(kOutputModuleSymbol) + " がありません");
}

}  // namespace

const OutputModule* LoadOutputModule(std::string& error) {
    static const Loaded loaded = Load();  // once, whichever thread asks first
    if (!loaded.module) error = loaded.error;
    return loaded.module;
}

}  // namespace kyro
