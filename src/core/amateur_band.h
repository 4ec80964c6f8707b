#pragma once
// The amateur band of a frequency, named as ADIF's BAND field names it ("40m", "2m", "70cm").
#include <optional>
#include <string>

// The band that holds `hz` (edges included); nothing outside every amateur band.
std::optional<std::string> amateurBand(double hz);
// The band a name gives, in any case and with or without its "m" ("40", "40M", "70cm").
std::optional<std::string> amateurBandNamed(const std::string& name);

// "7.074000 MHz": the frequency in MHz to the hertz (six decimals, a point and no other
// separator, so it reads the same in every locale).
std::string frequencyText(double hz);
