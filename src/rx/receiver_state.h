#pragma once
// All receiver state, allocated once by its owner and kept for the whole run, and the symbol
// routine that joins the demodulator to the sync search and the frame reader.
#include "core/bit_buffer.h"
#include "rx/demodulator.h"
#include "rx/frame_reader.h"
#include "rx/input_conditioning.h"
#include "rx/receive_host.h"
#include "rx/sync_search.h"

struct ReceiverState {
  InputConditioningState input;
  DemodulatorState demod;
  SyncSearch sync;
  FrameReaderState frame;
  // Buffers processed since the last valid frame header; restarted by the receiver at every
  // valid header.
  int rxBufferCount = 0;
  // True while a reception is expected to go on; set and cleared by the frame actions and
  // finishReception. Only while it is set does the time-out fire.
  bool rxTimeoutArmed = false;
};

// The header fields of the frame being read.
RxFrameInfo frameInfo(const FrameReaderState& frame);

// Decides one symbol and passes its bit (or its two bits in a four-level payload) to the sync
// search or, inside a frame, to the frame reader; frame events go to the host as they occur.
void receiveSymbol(ReceiverState& rx, double d, BitBuffer& payloadBits, ReceiveHost& host);
