#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace provix {

// True when bytes is well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Length of the well-formed sequence at text[pos], or 0 where the bytes are not one (overlong
// forms, surrogates and values above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// Windows-1252 bytes (the usual "ANSI" text of older files) as UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-16 code units read from a file as UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);

// The first max_chars code points of valid UTF-8 text; never splits a character.
std::string Utf8Left(std::string_view text, std::size_t max_chars);

// Unicode lower case of UTF-8 text, independent of the process locale. Invalid sequences are
// kept byte for byte. Thread-safe.
std::string Utf8ToLower(std::string_view text);

}  // namespace provix
