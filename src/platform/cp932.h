#pragma once
// Shift-JIS (code page 932) text at the display boundary: to QString for showing data, from
// QString for what the user types. The byte-level conversions are in cp932bytes.h.

#include "platform/cp932bytes.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace kyro {

// CP932 bytes to text for display. Invalid bytes (a lead byte with a bad trail byte, a lone lead
// byte at the end, 0x80, 0xA0, 0xFD-0xFF) each show as U+FFFD; the rest is converted.
QString Cp932ToQString(std::string_view cp932);

// Text to CP932 bytes. Returns nothing when a character cannot be held in CP932 (the caller
// refuses the input with a message); never substitutes silently.
std::optional<std::string> QStringToCp932(const QString& text);

}  // namespace kyro
