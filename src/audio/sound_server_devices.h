#pragma once
// The sinks and sources of a running PulseAudio server, or of PipeWire through its PulseAudio
// server, by name and description. Read afresh on every call over a short-lived connection that
// never starts a server; a server that does not answer within the time-out counts as absent, so
// a hung server never hangs the caller.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_backend.h"

struct SoundServerDevices {
  std::string server;               // the server's own name and version, e.g. "pulseaudio 16.1"
  std::vector<AudioDevice> sources;  // inputs, in the server's order (sink monitors included)
  std::vector<AudioDevice> sinks;    // outputs, in the server's order
};

inline constexpr std::chrono::milliseconds kSoundServerTimeout{1500};

// nullopt when no server answers; `why` (if given) then says why in one line.
std::optional<SoundServerDevices> listSoundServerDevices(std::chrono::milliseconds timeout = kSoundServerTimeout,
                                                         std::string* why = nullptr);
