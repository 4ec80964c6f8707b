#pragma once
// The check applied to an own callsign when the operator gives one. A callsign travels in
// every callsign and text frame (where ">" separates it from the text), names stored pictures
// and goes into log lines, so it is kept short and made of visible ASCII characters.
#include <string>

inline constexpr int kMaxCallsignLength = 20;

// Empty when the callsign is acceptable (an empty callsign is: it only blocks sending),
// otherwise a one-line message for the operator.
std::string callsignProblem(const std::string& callsign);

// The callsign as callsigns are written: ASCII letters in capitals ("ja1new" gives "JA1NEW").
std::string callsignInCapitals(std::string callsign);
