#pragma once
// Finding the chosen sound device again by its name: device numbers follow the order in which
// the system lists its devices, which changes when a device is plugged in or removed.
#include <string>
#include <vector>

#include "audio/audio_backend.h"

// The setting's device number (0 = system default, k >= 1 = names[k - 1]) of the device called
// `name`: the stored number when it still names that device, else the number where the name is
// listed now, else the stored number unchanged (the device is gone; opening it says so).
// `name` is updated to the name of the chosen device (empty for the default).
int chooseDevice(const std::vector<std::string>& names, int number, std::string& name);

// The names of `devices`, in their order: what chooseDevice looks a stored name up in.
std::vector<std::string> deviceNames(const std::vector<AudioDevice>& devices);

// What the operator reads for each of `devices`: its description, followed by its name in
// brackets where two devices share a description (two sound cards of one make).
std::vector<std::string> deviceCaptions(const std::vector<AudioDevice>& devices);
