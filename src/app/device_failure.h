#pragma once
// One message-log line for a sound device that would not open: which device, why, and what
// to do about it.
#include <string>
#include <vector>

#include "audio/audio_backend.h"

// `input` tells the direction; `listed` is what the sound system lists now and `storedName`
// the device the settings name (empty: the system default).
std::string deviceFailureLine(bool input, const std::vector<AudioDevice>& listed,
                              const std::string& storedName);
