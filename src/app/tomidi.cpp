#include "app/tomidi.h"

#include "app/conversioncommand.h"
#include "app/conversioninput.h"
#include "platform/filesystem.h"
#include "sequencer/midiexport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <ostream>
#include <vector>

namespace kyro {

int ConvertToMidi(const std::string& in, const std::string& out, const std::string& programFolder,
                  std::ostream& errors) {
    const ScoreReadResult read = ReadConversionInput(in, programFolder);
    if (!read.ok) {
        errors << "曲を読めません: " << in << "\n" << read.error << "\n";
        return kConversionCannotRead;
    }

    const std::vector<std::uint8_t> file = ExportStandardMidiFile(read.score);
    struct stat existing {};
    if (::stat(out.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        errors << "MIDI ファイルを書き込めません: " << out << " (ファイルではありません)\n";
        return kConversionCannotWrite;
    }
    errno = 0;
    if (!WriteNativeFileAtomic(out, std::string(file.begin(), file.end()))) {
        errors << "MIDI ファイルを書き込めません: " << out << WriteFailureReason(errno) << "\n";
        return kConversionCannotWrite;
    }
    return kConversionOk;
}

bool AsksForMidiConversion(int argc, char** argv) { return CommandLineHas(argc, argv, "--to-midi"); }

int RunMidiConversion(int argc, char** argv, std::ostream& errors) {
    const auto command = ReadConversionCommand(argc, argv, "--to-midi", {},
                                               "使い方: kyrotune --to-midi 曲 MIDIファイル [--folder プログラムフォルダ]", errors);
    if (!command) return kConversionBadArguments;
    return ConvertToMidi(command->in, command->out, command->programFolder, errors);
}

}  // namespace kyro
