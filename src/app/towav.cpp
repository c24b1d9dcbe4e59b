#include "app/towav.h"

#include "app/conversioncommand.h"
#include "app/conversioninput.h"
#include "app/programfolder.h"
#include "library/settings.h"
#include "platform/cp932bytes.h"
#include "sequencer/midioutput.h"
#include "sequencer/songfile.h"
#include "sequencer/songstate.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <ostream>

namespace kyro {

namespace {

struct MapResetFile {
    const char* map;   // as the song list shows the map code
    const char* file;  // in the program folder; empty: none
};

constexpr MapResetFile kMapResetFiles[] = {
    {"none", ""}, {"88", "88MAP.MID"}, {"55", "55MAP.MID"}, {"GM", "GM.MID"}, {"8P", "88Pro.MID"},
};

// The player's synthesizer (SoundFont and Gain of the program folder's [MIDI]) recording into OUT.
OutputSettings WavSettings(const std::string& out, const std::string& programFolder) {
    const OutputSettings player = ReadOutputSettings(programFolder + "/" + kSettingsFileName);
    OutputSettings settings;
    settings.output = "wav";
    settings.wavFile = out;
    settings.soundFont = player.soundFont;
    settings.gain = player.gain;
    return settings;
}

// Why OUT cannot be written, told before anything is rendered: it is no file, or its folder is
// missing or closed to us. Empty when it can be tried.
std::string ReasonOutCannotBeWritten(const std::string& out) {
    struct stat existing {};
    if (::stat(out.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return " (ファイルではありません)";
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(out, ec).parent_path();
    if (ec || !std::filesystem::is_directory(folder, ec)) return WriteFailureReason(ENOENT);
    if (!IsWritableFolder(folder.string())) return WriteFailureReason(EACCES);
    return {};
}

// What the player sends, in song time: the reset file's messages at the start (its pause gives a
// sound module time to reset; the synthesizer needs none), the song's at their times, and at the
// song's end a note-off for each note it leaves on, as the engine ends a song.
void SendSong(const Song& reset, const Song& song, MidiOutput& output) {
    for (const SongEvent& e : reset.events)
        if (!e.message.empty()) output.Send(0, e.message.data(), e.message.size());
    HeldNotes held;
    for (const SongEvent& e : song.events) {
        if (e.message.empty()) continue;
        held.Track(e.message.data(), e.message.size());
        output.Send(e.timeUs, e.message.data(), e.message.size());
    }
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            if (held.IsHeld(channel, key)) {
                const std::uint8_t off[3] = {std::uint8_t(0x80 | channel), std::uint8_t(key), 0};
                output.Send(song.lengthUs, off, 3);
            }
    output.Flush(song.lengthUs);
}

}  // namespace

std::optional<std::string> ResetFileOfMap(const std::string& map) {
    for (const auto& entry : kMapResetFiles)
        if (EqualsIgnoringCaseCp932(map, entry.map)) return entry.file;
    return std::nullopt;
}

int ConvertToWav(const std::string& in, const std::string& out, const std::string& resetFile,
                 const std::string& programFolder, std::ostream& errors) {
    const SongReadResult song = ToSong(ReadConversionInput(in, programFolder));
    if (!song.ok) {
        errors << "曲を読めません: " << in << "\n" << song.error << "\n";
        return kConversionCannotRead;
    }
    SongReadResult reset;
    reset.ok = true;
    if (!resetFile.empty()) {
        const std::string path = programFolder + "/" + resetFile;
        reset = ToSong(ReadSongScoreAt(path));
        if (!reset.ok) {
            errors << "リセットファイルを読めません: " << path << "\n" << reset.error << "\n";
            return kConversionCannotRead;
        }
    }

    if (const std::string why = ReasonOutCannotBeWritten(out); !why.empty()) {
        errors << "WAV ファイルを書き込めません: " << out << why << "\n";
        return kConversionCannotWrite;
    }
    OutputOpenResult opened = OpenOutput(WavSettings(out, programFolder));
    if (!opened.output) {
        errors << "WAV ファイルを書き込めません: " << out << "\n" << opened.error << "\n";
        return kConversionCannotWrite;
    }
    SendSong(reset.song, song.song, *opened.output);
    if (const std::string failure = opened.output->Finish(); !failure.empty()) {
        errors << "WAV ファイルを書き込めません: " << out << "\n" << failure << "\n";
        return kConversionCannotWrite;
    }
    return kConversionOk;
}

bool AsksForWavConversion(int argc, char** argv) { return CommandLineHas(argc, argv, "--to-wav"); }

int RunWavConversion(int argc, char** argv, std::ostream& errors) {
    const char* const usage =
        "使い方: kyrotune --to-wav 曲 WAVファイル [--map none|88|55|GM|8P] [--folder プログラムフォルダ]";
    const auto command = ReadConversionCommand(argc, argv, "--to-wav", {"--map"}, usage, errors);
    if (!command) return kConversionBadArguments;
    const auto map = command->options.find("--map");
    const auto resetFile = map == command->options.end() ? std::optional<std::string>("") : ResetFileOfMap(map->second);
    if (!resetFile) {
        errors << "--map の値が違います: " << map->second << "\n" << usage << "\n";
        return kConversionBadArguments;
    }
    return ConvertToWav(command->in, command->out, *resetFile, command->programFolder, errors);
}

}  // namespace kyro
