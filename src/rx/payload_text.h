#pragma once
// The characters of a text or callsign payload: 8 bits each, most significant bit first.
#include <string>

#include "core/bit_buffer.h"

// The payload's L data bits as bytes, exactly as sent (a trailing partial byte is dropped).
std::string payloadBytes(const BitBuffer& payload, int lengthBits);
// The text a text or callsign frame carries: its bytes without the zero bytes, which add
// nothing to the text.
std::string payloadText(const BitBuffer& payload, int lengthBits);
