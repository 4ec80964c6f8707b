#pragma once
// Texts that arrive from the air are kept byte for byte, but anything shown or printed goes
// through displayText first, so that no received byte can act as a control character (a
// terminal escape, a carriage return that hides a line, a bell) or change the layout of what
// is shown around it (a second line, text turned right to left).
#include <cstddef>
#include <string>

// Length of the valid UTF-8 sequence of two or more bytes starting at s[i], or 0 if there is
// none (an ASCII byte, a stray continuation byte, an overlong or surrogate form, a cut-off end).
size_t utf8SequenceLength(const std::string& s, size_t i);

// The code point of the valid sequence of n bytes at s[i] (n from utf8SequenceLength).
unsigned codePointAt(const std::string& s, size_t i, size_t n);

// True for the code points that act on a display or terminal instead of showing a sign: the
// C0 and C1 controls and DEL, the line and paragraph separators U+2028 and U+2029, and the
// bidirectional marks, embeddings, overrides and isolates (text shown in another order), and
// the invisible zero width space, word joiner, invisible operators and U+FEFF (look-alikes).
bool steersDisplay(unsigned codePoint);

// The text with every code point that steers the display and every byte that is not part of
// valid UTF-8 replaced by U+FFFD; printable ASCII and other valid UTF-8 pass unchanged.
std::string displayText(const std::string& text);
