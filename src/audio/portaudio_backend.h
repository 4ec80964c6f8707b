#pragma once
// The sound card through PortAudio: 16-bit mono streams at 48000 Hz on the system's devices.
// Each stream's callback copies between PortAudio's buffers (of whatever size it chooses) and
// the queued 12000-sample AudioBuffers, and reports every completed buffer through the
// completion (see CallbackBufferQueue). An output with nothing queued plays silence; input that
// finds no queued buffer is dropped. A device that takes no mono stream (a sound card opened
// directly) is opened with two channels: the first one is recorded, both play the same sound.
//
// Device numbers: kDefaultAudioDevice is the system's default device; 0..count-1 index the
// latest inputDevices() / outputDevices(). Where a PulseAudio server answers (PipeWire through
// its PulseAudio server included) they list its sources and sinks, read afresh on every call,
// by name and description, and a chosen one is opened through the ALSA "pulse" plugin with that
// sink or source named. Without a sound server they list PortAudio's devices that take the
// direction, as found when the backend was created (ALSA devices by name).
//
// A stream that stops by itself or stalls (device unplugged, sound server gone) is reported
// once through takeErrors() with a one-line message; the program goes on without it. Stopping
// or closing a stream never holds the calling thread for more than half a second: a call that a
// hung sound server keeps waiting goes on on a thread of its own, the stream is left to it, and
// takeErrors() says so.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_backend.h"

class PortAudioStream;

class PortAudioBackend : public AudioBackend {
 public:
  // Initialises PortAudio (its own and the ALSA/JACK start-up chatter on stderr is silenced).
  // When that fails, the backend lists no devices, opens nothing and error() says why.
  PortAudioBackend();
  // Closes every stream still open, then shuts PortAudio down.
  ~PortAudioBackend() override;
  PortAudioBackend(const PortAudioBackend&) = delete;
  PortAudioBackend& operator=(const PortAudioBackend&) = delete;

  std::vector<AudioDevice> inputDevices() override;
  std::vector<AudioDevice> outputDevices() override;
  // nullptr when the device does not exist or refuses 16-bit mono at 48000 Hz; error() says why.
  std::unique_ptr<AudioStream> openInput(int deviceNumber, BufferCompletion& filled) override;
  std::unique_ptr<AudioStream> openOutput(int deviceNumber, BufferCompletion& played) override;

  bool initialised() const { return initialised_; }
  // Where the latest list came from, in one line: the sound server's name and version, or why
  // there was none and PortAudio's own devices were listed.
  const std::string& listedFrom() const { return listedFrom_; }
  // The last failure to initialise, open or start, empty if none.
  const std::string& error() const { return error_; }

  // Run-time failures of the open streams, each reported once, oldest first. Main thread; call
  // it regularly (a window's timer, a command loop), as a dead device posts no buffers that
  // would wake the station. A running stream whose callback has not run for `stallLimit` counts
  // as failed too.
  std::vector<std::string> takeErrors(std::chrono::milliseconds stallLimit = std::chrono::seconds(3));
  // Called on the audio thread when a stream stops by itself, e.g. to wake the event loop so it
  // calls takeErrors(). Set it before opening streams.
  void setErrorWakeUp(std::function<void()> wakeUp) { wakeUp_ = std::move(wakeUp); }

 private:
  friend class PortAudioStream;
  struct Device {
    int index;  // PortAudio's device index; paNoDevice for a sound server's sink or source
    AudioDevice device;
  };
  std::vector<AudioDevice> list(bool input);
  std::unique_ptr<AudioStream> open(bool input, int deviceNumber, BufferCompletion& completion);
  void forget(PortAudioStream* stream);
  // A stream left to a stop or close that did not return; said by the next takeErrors().
  void abandoned(std::string report);

  bool initialised_ = false;
  std::string error_;
  std::vector<Device> systemInputs_, systemOutputs_;  // PortAudio's own, found at start
  std::vector<Device> inputs_, outputs_;              // the latest lists, by device number
  bool inputsListed_ = false, outputsListed_ = false;
  std::string listedFrom_;
  std::vector<PortAudioStream*> streams_;  // open streams, closed before PortAudio shuts down
  std::function<void()> wakeUp_;
  int abandonedStreams_ = 0;
  std::vector<std::string> abandonReports_;
};
