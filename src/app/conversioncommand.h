#pragma once
// The command line of the converters, "kyrotune --to-midi IN OUT" and "kyrotune --to-wav IN OUT":
// their exit codes, their arguments, the program folder they work from, and why OUT cannot be
// written.

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kyro {

// Exit codes of every conversion.
inline constexpr int kConversionOk = 0;
inline constexpr int kConversionCannotRead = 1;     // IN is missing, damaged, or its archive cannot be unpacked
inline constexpr int kConversionCannotWrite = 2;    // OUT cannot be written; it is left as it was
inline constexpr int kConversionBadArguments = 3;   // the command line is wrong, or no program folder can be had

// Why a file could not be written, " (...)", for the errno values a user can do something about;
// empty for the others.
std::string WriteFailureReason(int error);

// The command line holds `option` ("--to-wav").
bool CommandLineHas(int argc, char** argv, const std::string& option);

struct ConversionCommand {
    std::string in;
    std::string out;
    std::string programFolder;                   // chosen as the player chooses it (programfolder.h)
    std::map<std::string, std::string> options;  // the converter's own options given ("--map" -> "GM")
};

// Reads "`conversion` IN OUT [--folder DIR]" and the converter's `ownOptions`, each followed by its
// value or written "--name=value", in any order, and chooses the program folder. Null when the
// command line is wrong (`usage` goes to `errors`) or no program folder can be had (the reason).
std::optional<ConversionCommand> ReadConversionCommand(int argc, char** argv, const std::string& conversion,
                                                       const std::vector<std::string>& ownOptions,
                                                       const std::string& usage, std::ostream& errors);

}  // namespace kyro
