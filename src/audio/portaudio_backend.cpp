#include "audio/portaudio_backend.h"

#include <fcntl.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "audio/callback_buffer_queue.h"
#include "audio/sound_server_devices.h"

namespace {

// Sends stderr to /dev/null for its lifetime. ALSA and JACK print pages of probing noise while
// PortAudio looks for devices and opens streams; the program's own one-line messages would be
// lost in it.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

// The device's own buffering. The rings already keep 0.75 s of output queued, so a generous
// device buffer costs nothing but survives a busy machine without underruns; it stays well
// inside the silent tail the transmitter plays before releasing push-to-talk.
constexpr double kSuggestedLatency = 0.2;

std::string paText(PaError error) { return Pa_GetErrorText(error); }

const char* directionWord(bool input) { return input ? "input" : "output"; }

// How long the main thread waits for a stream to stop or close. A sound server that hangs can
// block these calls for ever: the call then goes on on a thread of its own, and the stream is
// left to it.
constexpr auto kDeviceCallWait = std::chrono::milliseconds(500);

// Runs `call` on a thread of its own; false when it has not returned within kDeviceCallWait.
bool callBounded(std::function<void()> call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> returned = done->get_future();
  std::thread([call = std::move(call), done] {
    call();
    done->set_value();
  }).detach();
  return returned.wait_for(kDeviceCallWait) == std::future_status::ready;
}

// What PortAudio's own threads touch. It lives as long as the stream or, for a stream left to
// a hung sound server, for as long as the program: a late callback then finds it abandoned and
// leaves the queue (and the buffers of a closed device) alone.
struct CallbackSide {
  std::unique_ptr<CallbackBufferQueue> queue;
  int channels = 1;
  std::atomic<bool> stopping{false};
  std::atomic<bool> failed{false};
  std::mutex use;          // held by a callback while it uses the queue
  bool abandoned = false;  // under use
  std::function<void()> wakeUp;
};

// The ALSA name that opens one sink or source of the sound server through the "pulse" plugin.
// The name is quoted so that its dots and dashes reach the plugin as they are; empty for a name
// with control characters, which no quoting carries.
std::string pulsePluginDevice(const std::string& name) {
  std::string quoted = "pulse:DEVICE=\"";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return {};
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += char(c);
  }
  return quoted + '"';
}

}  // namespace

// One direction of one device. The PortAudio callback runs the CallbackBufferQueue; everything
// else runs on the main thread.
class PortAudioStream : public AudioStream {
 public:
  PortAudioStream(PortAudioBackend& owner, bool input, std::string deviceName, BufferCompletion& completion)
      : owner_(&owner), input_(input), deviceName_(std::move(deviceName)), completion_(completion) {}
  ~PortAudioStream() override { close(); }

  // Opens the PortAudio stream on a sound server's sink or source through the ALSA plugin;
  // false with the reason in `error`.
  bool openOnServer(const std::string& name, std::string& error) {
    const std::string alsaName = pulsePluginDevice(name);
    if (alsaName.empty()) {
      error = "its name cannot be passed to the sound server";
      return false;
    }
    PaAlsaStreamInfo where;
    PaAlsa_InitializeStreamInfo(&where);
    where.deviceString = alsaName.c_str();
    PaStreamParameters params{};
    params.device = paUseHostApiSpecificDeviceSpecification;
    params.channelCount = 1;
    params.sampleFormat = paInt16;
    params.suggestedLatency = kSuggestedLatency;
    params.hostApiSpecificStreamInfo = &where;
    QuietStderr quiet;
    return opened(openWith(params), error);
  }

  // Opens the PortAudio stream on one of PortAudio's devices; false with the reason in `error`.
  bool openOn(int deviceIndex, std::string& error) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(deviceIndex);
    if (!info) {
      error = "no such sound device";
      return false;
    }
    PaStreamParameters params{};
    params.device = deviceIndex;
    params.channelCount = 1;
    params.sampleFormat = paInt16;
    params.suggestedLatency =
        std::max(kSuggestedLatency, input_ ? info->defaultHighInputLatency : info->defaultHighOutputLatency);
    QuietStderr quiet;
    PaError result = openWith(params);
    // Sound cards opened directly (ALSA "hw:" devices) often take two channels only: the
    // station then uses the first input channel and plays on both.
    const int most = input_ ? info->maxInputChannels : info->maxOutputChannels;
    if (result == paInvalidChannelCount && most >= 2) {
      params.channelCount = 2;
      result = openWith(params);
    }
    return opened(result, error);
  }

  bool prepareBuffer(AudioBuffer& buffer) override {
    if (!stream_ || !buffer.data || buffer.bufferLength < 2 || buffer.bufferLength > kBufferBytes) return false;
    buffer.prepared = true;
    return true;
  }
  // Only the flag: a buffer still queued keeps being used until reset() hands it back.
  void unprepareBuffer(AudioBuffer& buffer) override { buffer.prepared = false; }

  bool queueBuffer(AudioBuffer& buffer) override {
    if (!stream_ || !buffer.prepared || !side_->queue->push(buffer)) return false;
    if (!input_ && !running_) startStream();  // an output plays as soon as it has something
    return true;
  }

  void start() override {
    if (input_) startStream();
  }
  void stop() override {
    if (input_) stopStream();
  }
  std::vector<AudioBuffer*> reset() override {
    stopStream();
    // An abandoned stream's queue is drained too: its callbacks no longer touch it.
    return side_->queue ? side_->queue->drain() : std::vector<AudioBuffer*>{};
  }

  void close() override {
    if (stream_) {
      side_->stopping.store(true);
      PaStream* stream = stream_;
      std::shared_ptr<CallbackSide> keep = side_;
      // Aborts the stream first if it still runs.
      if (callBounded([stream, keep] { Pa_CloseStream(stream); }))
        stream_ = nullptr;
      else
        abandon("did not close");
      running_ = false;
    }
    if (owner_) owner_->forget(this);
    owner_ = nullptr;
  }

  // Starts the stream; an output starts at once so that it plays silence until buffers come.
  bool startStream() {
    if (!stream_ || running_) return running_;
    side_->stopping.store(false);
    side_->failed.store(false);
    PaError started;
    {
      QuietStderr quiet;
      started = Pa_StartStream(stream_);
    }
    if (started != paNoError) {
      fail("could not start: " + paText(started));
      return false;
    }
    running_ = true;
    lastCallbacks_ = side_->queue->callbacks();
    lastProgress_ = std::chrono::steady_clock::now();
    return true;
  }

  // A one-line message when the stream has stopped by itself or stalled since the last check.
  std::string checkHealth(std::chrono::steady_clock::time_point now, std::chrono::milliseconds stallLimit) {
    if (!stream_ || !running_ || reported_) return {};
    const int64_t calls = side_->queue->callbacks();
    if (calls != lastCallbacks_) {
      lastCallbacks_ = calls;
      lastProgress_ = now;
    }
    std::string why;
    if (side_->failed.load() || Pa_IsStreamActive(stream_) != 1)
      why = "stopped working";
    else if (now - lastProgress_ > stallLimit)
      why = "stopped delivering sound";
    if (why.empty()) return {};
    reported_ = true;
    return describe(why);
  }
  // A failure found on the main thread (a start that did not work).
  void fail(const std::string& why) {
    if (reported_) return;
    reported_ = true;
    pending_ = describe(why);
  }
  std::string takePending() { return std::exchange(pending_, {}); }

 private:
  static int callback(const void* in, void* out, unsigned long frames, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags, void* data) {
    auto* side = static_cast<CallbackSide*>(data);
    // Never waits: the lock is only contended while the main thread abandons the stream.
    std::unique_lock lock(side->use, std::try_to_lock);
    if (!lock.owns_lock() || side->abandoned) {
      if (out) std::memset(out, 0, frames * side->channels * sizeof(int16_t));
      return lock.owns_lock() ? paAbort : paContinue;
    }
    if (in)
      side->queue->record(static_cast<const int16_t*>(in), frames);
    else
      side->queue->play(static_cast<int16_t*>(out), frames);
    return paContinue;
  }
  // PortAudio calls this when the stream becomes inactive: after our own stop, or by itself when
  // the device failed.
  static void finished(void* data) {
    auto* side = static_cast<CallbackSide*>(data);
    if (side->stopping.load()) return;
    side->failed.store(true);
    if (side->wakeUp) side->wakeUp();
  }

  // The stream is left to a call that did not return: no callback touches the queue any more,
  // and nothing here calls PortAudio on it again.
  void abandon(const std::string& what) {
    {
      std::lock_guard lock(side_->use);
      side_->abandoned = true;
    }
    stream_ = nullptr;
    running_ = false;
    if (owner_) owner_->abandoned(describe(what + ": the sound server does not answer; it was left behind"));
  }

  // Completes an opening that PortAudio answered with `result`.
  bool opened(PaError result, std::string& error) {
    if (result != paNoError) {
      stream_ = nullptr;
      error = paText(result);
      return false;
    }
    if (owner_) side_->wakeUp = owner_->wakeUp_;
    Pa_SetStreamFinishedCallback(stream_, &PortAudioStream::finished);
    return true;
  }

  PaError openWith(const PaStreamParameters& params) {
    side_->queue = std::make_unique<CallbackBufferQueue>(
        input_ ? CallbackBufferQueue::Direction::input : CallbackBufferQueue::Direction::output, completion_,
        params.channelCount);
    side_->channels = params.channelCount;
    return Pa_OpenStream(&stream_, input_ ? &params : nullptr, input_ ? nullptr : &params, kSampleRate,
                         paFramesPerBufferUnspecified, paNoFlag, &PortAudioStream::callback, side_.get());
  }

  void stopStream() {
    if (!stream_ || !running_) return;
    side_->stopping.store(true);
    PaStream* stream = stream_;
    std::shared_ptr<CallbackSide> keep = side_;
    // Buffers still queued are handed back, not played out.
    if (!callBounded([stream, keep] { Pa_AbortStream(stream); })) return abandon("did not stop");
    running_ = false;
  }

  std::string describe(const std::string& why) const {
    return "The sound " + std::string(directionWord(input_)) + " device \"" + deviceName_ + "\" " + why + ".";
  }

  PortAudioBackend* owner_;
  const bool input_;
  const std::string deviceName_;
  BufferCompletion& completion_;
  std::shared_ptr<CallbackSide> side_ = std::make_shared<CallbackSide>();
  PaStream* stream_ = nullptr;
  bool running_ = false;
  bool reported_ = false;
  std::string pending_;
  int64_t lastCallbacks_ = 0;
  std::chrono::steady_clock::time_point lastProgress_{};
};

PortAudioBackend::PortAudioBackend() {
  // PortAudio's JACK host would otherwise try to launch a JACK server just to list devices.
  setenv("JACK_NO_START_SERVER", "1", 0);
  PaError result;
  {
    QuietStderr quiet;
    result = Pa_Initialize();
  }
  if (result != paNoError) {
    error_ = "The sound system could not be started: " + paText(result);
    return;
  }
  initialised_ = true;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (!info || !info->name) continue;
    std::string name = info->name;
    const PaHostApiInfo* host = Pa_GetHostApiInfo(info->hostApi);
    if (host && host->type != paALSA) name += std::string(" (") + host->name + ")";
    if (info->maxInputChannels > 0) systemInputs_.push_back({i, {name, name}});
    if (info->maxOutputChannels > 0) systemOutputs_.push_back({i, {name, name}});
  }
}

PortAudioBackend::~PortAudioBackend() {
  while (!streams_.empty()) streams_.back()->close();  // each close forgets its stream
  // Shutting down would wait for a stream left to a hung sound server.
  if (!initialised_ || abandonedStreams_) return;
  QuietStderr quiet;
  Pa_Terminate();
}

std::vector<AudioDevice> PortAudioBackend::inputDevices() { return list(true); }

std::vector<AudioDevice> PortAudioBackend::outputDevices() { return list(false); }

std::vector<AudioDevice> PortAudioBackend::list(bool input) {
  std::vector<Device>& devices = input ? inputs_ : outputs_;
  (input ? inputsListed_ : outputsListed_) = true;
  devices.clear();
  std::string why;
  std::optional<SoundServerDevices> server;
  if (initialised_) server = listSoundServerDevices(kSoundServerTimeout, &why);
  if (!initialised_) {
    listedFrom_ = error_;
  } else if (server) {
    listedFrom_ = "sound server " + server->server;
    for (AudioDevice& d : input ? server->sources : server->sinks) devices.push_back({paNoDevice, std::move(d)});
  } else {
    listedFrom_ = why + "; the sound system's own devices";
    devices = input ? systemInputs_ : systemOutputs_;
  }
  std::vector<AudioDevice> listed;
  for (const Device& d : devices) listed.push_back(d.device);
  return listed;
}

std::unique_ptr<AudioStream> PortAudioBackend::openInput(int deviceNumber, BufferCompletion& filled) {
  return open(true, deviceNumber, filled);
}

std::unique_ptr<AudioStream> PortAudioBackend::openOutput(int deviceNumber, BufferCompletion& played) {
  return open(false, deviceNumber, played);
}

std::unique_ptr<AudioStream> PortAudioBackend::open(bool input, int deviceNumber, BufferCompletion& completion) {
  if (!initialised_) return nullptr;
  if (!(input ? inputsListed_ : outputsListed_)) list(input);
  const std::vector<Device>& devices = input ? inputs_ : outputs_;
  int index = paNoDevice;
  std::string name, serverDevice;
  if (deviceNumber == kDefaultAudioDevice) {
    index = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    name = info && info->name ? info->name : "default";
  } else if (deviceNumber >= 0 && deviceNumber < int(devices.size())) {
    index = devices[deviceNumber].index;
    name = devices[deviceNumber].device.description;
    if (index == paNoDevice) serverDevice = devices[deviceNumber].device.name;
  }
  if (index == paNoDevice && serverDevice.empty()) {
    error_ = std::string("There is no sound ") + directionWord(input) + " device number " +
             std::to_string(deviceNumber) + ".";
    if (deviceNumber == kDefaultAudioDevice)
      error_ = std::string("There is no default sound ") + directionWord(input) + " device.";
    return nullptr;
  }
  auto stream = std::make_unique<PortAudioStream>(*this, input, name, completion);
  std::string why;
  if (!(serverDevice.empty() ? stream->openOn(index, why) : stream->openOnServer(serverDevice, why))) {
    error_ = "The sound " + std::string(directionWord(input)) + " device \"" + name +
             "\" cannot be opened for 16-bit mono at 48000 Hz: " + why;
    return nullptr;
  }
  streams_.push_back(stream.get());
  if (!input) stream->startStream();  // silence until the transmitter queues buffers
  return stream;
}

void PortAudioBackend::forget(PortAudioStream* stream) {
  streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void PortAudioBackend::abandoned(std::string report) {
  ++abandonedStreams_;
  abandonReports_.push_back(std::move(report));
  if (wakeUp_) wakeUp_();
}

std::vector<std::string> PortAudioBackend::takeErrors(std::chrono::milliseconds stallLimit) {
  std::vector<std::string> errors = std::exchange(abandonReports_, {});
  const auto now = std::chrono::steady_clock::now();
  for (PortAudioStream* stream : streams_) {
    std::string pending = stream->takePending();
    if (!pending.empty()) errors.push_back(std::move(pending));
    std::string failure = stream->checkHealth(now, stallLimit);
    if (!failure.empty()) errors.push_back(std::move(failure));
  }
  return errors;
}
