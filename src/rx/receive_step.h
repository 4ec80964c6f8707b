#pragma once
// The receive step: everything done for one captured input buffer, after the buffer has been
// handed back to the device.
#include <cstdint>
#include <span>

#include "core/bit_buffer.h"
#include "rx/receive_host.h"
#include "rx/receiver_state.h"

// Which receiver turns the signal into bits: the coherent one (the default: the tolerant
// receiver's timing and sync search, with two-tone symbols read coherently through an
// adaptive equalizer trained on every sync word), the tolerant one (a whole-symbol phase
// detector, carrier offset and tone levels measured on each frame, soft decisions for the
// decoder) or the plain discriminator with fixed thresholds. All feed the same displays and
// read the same signal.
enum class ReceiverKind { improved = 0, specified = 1, coherent = 2 };

// The receiver a settings value (`Receiver` in section `Wave`) chooses; unknown values keep
// the default, the coherent one.
inline ReceiverKind receiverFromSetting(int value) {
  if (value == 0) return ReceiverKind::improved;
  if (value == 1) return ReceiverKind::specified;
  return ReceiverKind::coherent;
}

// The settings and operating state the step reads.
struct ReceiveSettings {
  bool txInProgress = false;
  bool waveLoopMode = false;  // keep receiving while transmitting (looped-back sound card)
  double inputGain = 1.0;
  int timeoutSeconds = 15;  // seconds without a valid header before an armed reception ends
  bool showWaterfall = true;
  bool showClock = false;
  ReceiverKind receiver = ReceiverKind::coherent;
  // The coherent receiver decodes coded frames from the values at the symbol boundaries; off
  // (for comparison in the benchmarks only) it reads them from the symbols' bits alone.
  bool boundaryDecoding = true;
};

// Buffers per second of input (48000 / 12000).
inline constexpr int kInputBuffersPerSecond = 48000 / kInputBufferSamples;

// Processes one buffer of 12000 samples at 48000 Hz: input conditioning, level meters,
// waterfall, demodulation with frame reading, eye diagram, time-out and clock overlay.
// Nothing is done (not even the time-out count) while transmitting outside wave loop mode.
// Payload bits are written into payloadBits.
//
// The step runs to completion on the main thread and must not be re-entered: its filters,
// clock and frame reader are mid-block while the host's hooks run. Nothing guards this at run
// time because nothing can break it: the station loop runs one buffer message at a time, and
// no hook (frame actions included) turns the event loop. A hook that ever needs to yield must
// leave the input buffers queued until the step has returned.
void receiveStep(ReceiverState& rx, std::span<const int16_t, kInputBufferSamples> samples,
                 const ReceiveSettings& settings, BitBuffer& payloadBits, ReceiveHost& host);
