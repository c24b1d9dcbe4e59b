#include "app/conversioncommand.h"

#include "app/programfolder.h"
#include "platform/filesystem.h"

#include <algorithm>
#include <cerrno>
#include <ostream>

namespace kyro {

std::string WriteFailureReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return " (書き込みが許可されていません)";
    case ENOENT:
    case ENOTDIR:
        return " (フォルダがありません)";
    case ENOSPC:
    case EDQUOT:
        return " (ディスクの空きが足りません)";
    default:
        return "";
    }
}

bool CommandLineHas(int argc, char** argv, const std::string& option) {
    return std::find(argv + std::min(argc, 1), argv + argc, option) != argv + argc;
}

std::optional<ConversionCommand> ReadConversionCommand(int argc, char** argv, const std::string& conversion,
                                                       const std::vector<std::string>& ownOptions,
                                                       const std::string& usage, std::ostream& errors) {
    std::vector<std::string> valued = ownOptions;
    valued.push_back("--folder");
    ConversionCommand command;
    bool haveFiles = false;
    bool wrong = false;
    for (int i = 1; i < argc && !wrong; ++i) {
        const std::string arg = argv[i];
        const std::string name = arg.substr(0, arg.find('='));
        if (arg == conversion && !haveFiles && i + 2 < argc) {
            command.in = argv[i + 1];
            command.out = argv[i + 2];
            haveFiles = true;
            i += 2;
        } else if (std::find(valued.begin(), valued.end(), name) == valued.end()) {
            wrong = true;
        } else if (name != arg) {
            command.options[name] = arg.substr(name.size() + 1);
        } else if (i + 1 < argc) {
            command.options[name] = argv[++i];
        } else {
            wrong = true;
        }
    }
    if (wrong || !haveFiles) {
        errors << usage << "\n";
        return std::nullopt;
    }

    std::optional<std::string> folder;
    if (const auto given = command.options.find("--folder"); given != command.options.end()) {
        folder = given->second;
        command.options.erase(given);
    }
    const ProgramFolderChoice chosen =
        ChooseProgramFolder(ExecutableFolder(), folder, DataFolderEnvironment::FromProcess());
    if (!chosen.error.empty()) {
        errors << chosen.error << "\n";
        return std::nullopt;
    }
    command.programFolder = chosen.folder;
    return command;
}

}  // namespace kyro
