#pragma once
// The sound card's two rings of 32 buffers. The input ring records continuously: every filled
// buffer posts 1025, and the receive side hands it straight back to the device. The output ring
// plays what the transmitter queues: every played buffer posts 1026. Opening reports failures
// to the operator through an error sink; the program goes on without that direction.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio_backend.h"
#include "audio/buffer_ring.h"
#include "audio/message_queue.h"

// Where the rings report a device that failed to open; the station shows the text to the
// operator in a message box with the exclamation beep. Held by reference, never deleted
// through this interface.
class DeviceErrorSink {
 public:
  virtual void deviceError(const std::string& message) = 0;

 protected:
  ~DeviceErrorSink() = default;
};

class DeviceRings {
 public:
  // The backend, the error sink and the message queue must outlive the rings.
  DeviceRings(AudioBackend& backend, DeviceErrorSink& errors, MessageQueue& messages);
  ~DeviceRings();  // closes the input, then the output device
  DeviceRings(const DeviceRings&) = delete;
  DeviceRings& operator=(const DeviceRings&) = delete;

  // `choice` is the setting: 0 = the system's default device, k >= 1 = device k - 1.
  static int deviceNumber(int choice) { return choice <= 0 ? kDefaultAudioDevice : choice - 1; }

  // Opens the device and prepares its 32 buffers (the output stays silent until buffers are
  // queued; the input queues all 32 and starts recording). On failure the operator sees
  // "Can not open the play device" / "Can not open the recoding device" or "Can not get the
  // buffer", whatever was allocated is released, the device is closed again and the result is
  // false. Opening an open device closes it first.
  bool openOutputDevice(int outputChoice);
  bool openInputDevice(int inputChoice);
  // Stop (input), reset (returns the queued buffers), unprepare and free the 32 buffers, rewind
  // the ring index to 0 and close. Nothing happens when the device is not open.
  void closeInputDevice();
  void closeOutputDevice();

  // Copies 12000 samples into the header at outputBufferIndex, queues it for playing and
  // advances the index (31 wraps to 0). Nothing is queued when the output is not open or all
  // 32 buffers are still waiting to be played (the buffer would be overwritten while queued);
  // the result says whether the buffer was queued.
  bool queueOutputBuffer(const int16_t* samples);

  // The input hand-back, run on each 1025: the header at inputBufferIndex is prepared again and
  // queued back to the device at once, the index advances (31 wraps to 0), and the caller gets
  // the 12000 samples it held. The samples are copied aside first, so the device may refill the
  // buffer while the caller reads them. nullptr when the input is not open.
  const int16_t* handBackInputBuffer();

  // Bookkeeping for each 1026 of the current output device.
  void outputBufferPlayed();

  // True when the message comes from the device as it is open now (not from a closed one).
  bool isCurrent(const AudioMessage& message) const;

  bool inputOpen() const { return inputDevice_ != nullptr; }
  bool outputOpen() const { return outputDevice_ != nullptr; }
  int inputBufferIndex() const { return inputRing_.index(); }
  int outputBufferIndex() const { return outputRing_.index(); }
  int outputBuffersQueued() const { return outputQueued_; }

 private:
  // Turns each completed buffer of one direction into a message. Runs on the device's thread:
  // touches nothing but the queue and the number of the opening it reports for.
  class Poster final : public BufferCompletion {
   public:
    Poster(MessageQueue& queue, int message) : queue_(queue), message_(message) {}
    void bufferCompleted(const AudioBuffer& buffer) override;
    std::atomic<uint32_t> device{0};

   private:
    MessageQueue& queue_;
    int message_;
  };

  AudioBackend& backend_;
  DeviceErrorSink& errors_;
  Poster inputPoster_;
  Poster outputPoster_;

  std::unique_ptr<AudioStream> inputDevice_;
  std::unique_ptr<AudioStream> outputDevice_;
  BufferRing inputRing_;
  BufferRing outputRing_;
  uint32_t inputId_ = 0;   // 0 while closed; each opening gets a new number
  uint32_t outputId_ = 0;
  uint32_t nextId_ = 1;
  int outputQueued_ = 0;
  std::unique_ptr<int16_t[]> inputSamples_;  // the handed-back buffer's samples
};
