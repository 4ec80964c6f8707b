#pragma once
// What the device rings need from an audio system: 16-bit mono streams at 48000 samples per
// second that take buffers of 12000 samples in order and report each finished buffer. An input
// stream fills the buffers queued to it, an output stream plays them; either one reports every
// completed buffer through a callback that may run on the audio system's own thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr int kSampleRate = 48000;
inline constexpr int kBufferSamples = 12000;                 // 0.25 s
inline constexpr int kBufferBytes = kBufferSamples * 2;      // 24000
inline constexpr int kRingBuffers = 32;
inline constexpr double kBufferSeconds = double(kBufferSamples) / kSampleRate;
inline constexpr int kBufferMilliseconds = kBufferSamples * 1000 / kSampleRate;  // 250

// Device number meaning "the system's default device".
inline constexpr int kDefaultAudioDevice = -1;

// One buffer header. The data area belongs to whoever allocated the header (the rings); the
// stream only reads or writes `bufferLength` bytes of it while the buffer is queued.
struct AudioBuffer {
  int16_t* data = nullptr;
  int bufferLength = 0;   // bytes to fill or to play
  int bytesRecorded = 0;  // bytes an input stream filled
  int index = 0;          // place in the owner's ring, handed back with the completion
  bool prepared = false;  // set by prepareBuffer, cleared by unprepareBuffer
};

// Told of every completed buffer of a stream, possibly on the audio system's own thread. The
// stream holds it by reference from opening to closing and never deletes it.
class BufferCompletion {
 public:
  // Called once per completed buffer; it must return quickly.
  virtual void bufferCompleted(const AudioBuffer& buffer) = 0;

 protected:
  ~BufferCompletion() = default;
};

class AudioStream {
 public:
  virtual ~AudioStream() = default;  // implementations close the stream if still open

  // Makes a buffer usable with this stream. Preparing a prepared buffer succeeds.
  virtual bool prepareBuffer(AudioBuffer& buffer) = 0;
  virtual void unprepareBuffer(AudioBuffer& buffer) = 0;
  // Appends a prepared buffer to the stream's queue: an input stream fills it, an output stream
  // plays it. Buffers complete in the order they were queued.
  virtual bool queueBuffer(AudioBuffer& buffer) = 0;
  // Input: start recording into the queued buffers. Output streams play as soon as a buffer is
  // queued and ignore this.
  virtual void start() = 0;
  // Input: stop recording (queued buffers stay queued).
  virtual void stop() = 0;
  // Stops the stream and hands back every buffer still queued, oldest first. No completion is
  // reported for them.
  virtual std::vector<AudioBuffer*> reset() = 0;
  // After close returns the completion callback is never called again.
  virtual void close() = 0;
};

// A sound device as a backend lists it: `name` finds the device again after a restart or after
// it was unplugged and plugged back (the settings keep it), `description` is what the operator
// reads ("USB Audio CODEC Analog Stereo"). Both are the same where the system has no better.
struct AudioDevice {
  std::string name;
  std::string description;
  bool operator==(const AudioDevice&) const = default;
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // The devices in device-number order, as the system lists them now, for the settings dialog
  // and for finding a stored device by its name. Listing again may renumber the devices.
  virtual std::vector<AudioDevice> inputDevices() = 0;
  virtual std::vector<AudioDevice> outputDevices() = 0;

  // `deviceNumber` is kDefaultAudioDevice or 0..count-1 of the latest list. nullptr when the
  // device cannot be opened for 16-bit mono at 48000 Hz. The completion must outlive the stream.
  virtual std::unique_ptr<AudioStream> openInput(int deviceNumber, BufferCompletion& filled) = 0;
  virtual std::unique_ptr<AudioStream> openOutput(int deviceNumber, BufferCompletion& played) = 0;
};
