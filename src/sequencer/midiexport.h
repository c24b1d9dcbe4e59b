#pragma once
// A SongScore written as a Standard MIDI File that plays exactly as the score does: read back
// with ReadMidiFile, it gives the same messages at the same microseconds as ToSong(score).
//
// Format 1. Track 1 is the conductor: the title (FF 03) and the time signature (FF 58) at tick 0
// when the score has them, every tempo change (FF 51) at its tick, and every message that belongs
// to no channel (SysEx in the F0 form, anything else as an F7 escape). Then one track per MIDI
// channel that has messages, in channel order, each with its messages in playing order. Every
// track ends (FF 2F) at the score's end.
//
// Time base: the score's own. Ticks per quarter note above 0x7FFF (or SMPTE ticks per frame above
// 0xFF) are divided by the smallest integer that keeps every tick whole and the division
// representable, which keeps every time exact; when no such integer exists, the division becomes
// the largest representable and each tick the nearest one of it, which moves times by less than
// one new tick (a few microseconds) per tempo change before them.
//
// A channel message of the wrong length, or with a data byte of 0x80 or more, goes out as an F7
// escape in its channel's track, so that the same bytes are sent. Empty messages send nothing
// and are left out. A tempo slower than 0xFFFFFF µs per quarter note is written as 0xFFFFFF.

#include "sequencer/songscore.h"

#include <cstdint>
#include <vector>

namespace kyro {

std::vector<std::uint8_t> ExportStandardMidiFile(const SongScore& score);

}  // namespace kyro
