#include "app/callsign_check.h"

std::string callsignProblem(const std::string& callsign) {
  if (callsign.size() > static_cast<size_t>(kMaxCallsignLength))
    return "The callsign is too long: at most " + std::to_string(kMaxCallsignLength) +
           " characters.";
  for (unsigned char c : callsign) {
    if (c == '>') return "The callsign must not contain \">\".";
    // Visible ASCII only: no spaces, control characters or bytes of other alphabets.
    if (c <= ' ' || c >= 0x7f)
      return "The callsign may contain only letters, digits and signs such as /, no spaces.";
  }
  return {};
}

std::string callsignInCapitals(std::string callsign) {
  for (char& c : callsign)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return callsign;
}
