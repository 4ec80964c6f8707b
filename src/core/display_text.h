#pragma once
// Texts that arrive from the air are kept byte for byte, but anything shown or printed goes
// through displayText first, so that no received byte can act as a control character (a
// terminal escape, a carriage return that hides a line, a bell).
#include <cstddef>
#include <string>

// Length of the valid UTF-8 sequence of two or more bytes starting at s[i], or 0 if there is
// none (an ASCII byte, a stray continuation byte, an overlong or surrogate form, a cut-off end).
size_t utf8SequenceLength(const std::string& s, size_t i);

// The text with every control character (C0, DEL, the C1 range) and every byte that is not
// part of valid UTF-8 replaced by U+FFFD; printable ASCII and valid UTF-8 pass unchanged.
std::string displayText(const std::string& text);
