#include "tx/sequencer.h"

namespace {

class SequencerBoundary final : public FrameBoundaryHandler {
 public:
  SequencerBoundary(SharedState& state, TransmitterState& tx, TransmitHost& host,
                    ModulatorControls& controls)
      : state_(state), tx_(tx), host_(host), controls_(controls) {}
  void frameBoundary() override {
    ::frameBoundary(state_, tx_, host_);
    controls_ = modulatorControls(state_);
  }

 private:
  SharedState& state_;
  TransmitterState& tx_;
  TransmitHost& host_;
  ModulatorControls& controls_;
};

void buildDataFrame(SharedState& state, TransmitterState& tx, TransmitHost& host) {
  if (!state.txInProgress) return;
  state.callsignSendCounter += 1;
  switch (state.txKind) {
    case kTxImage:
      buildImageBlockFrame(state, host.frameSources(), tx.stream);
      break;
    case kTxBsrResponse:
      host.bsrResponseCountChanged(buildBsrResponseFrame(state, host.frameSources(), tx.stream));
      break;
    case kTxBsrRequest:
      host.bsrRequestCountChanged(buildBsrRequestFrame(state, host.frameSources(), tx.stream));
      break;
    default:
      break;
  }
}

// Keeps the position counters on the last block so that the next boundary reaches the end
// phase again.
void holdOnLastBlock(SharedState& state) {
  state.txBlockCol = state.txBlocksAcross - 1;
  state.txBlockRow -= 1;
}

// The frames' level: their tone swings to the output gain times full scale.
bool startIdentification(SharedState& state, TransmitterState& tx, TransmitHost& host) {
  const CwIdentification cw = host.cwIdentification();
  return cw.enabled && tx.cw.start(host.frameSources().callsign, cw, state.outputGain * 32768.0);
}

}  // namespace

void endTransmission(SharedState& state, TransmitHost& host) {
  host.closePtt();
  state.txInProgress = false;
  state.missingBlockCount = state.savedMissingBlockCount;
  host.transmissionEnded();
}

void frameBoundary(SharedState& state, TransmitterState& tx, TransmitHost& host) {
  if (state.callsignSendCounter < 0) {
    buildCallsignFrame(state, host.frameSources(), tx.stream);
    state.callsignSendCounter += 1;
    return;
  }
  if (state.callsignSendCounter >= kCallsignInterval) {
    buildCallsignFrame(state, host.frameSources(), tx.stream);
    state.callsignSendCounter = 0;
    return;
  }
  state.txBlockCol += 1;
  if (state.txBlockCol < state.txBlocksAcross) {
    buildDataFrame(state, tx, host);
    return;
  }
  state.txBlockCol = 0;
  state.txBlockRow += 1;
  if (state.txBlockRow < state.txBlocksDown) {
    buildDataFrame(state, tx, host);
    return;
  }
  if (state.endFrameCount < host.numEtxData()) {
    buildEndFrame(state, host.frameSources(), tx.stream);
    state.endFrameCount += 1;
    holdOnLastBlock(state);
    return;
  }
  if (state.silentFrameCount < kSilentFramePeriods) {
    state.txSilent = true;
    state.silentFrameCount += 1;
    holdOnLastBlock(state);
    return;
  }
  // The rest of the buffer in which the end is decided is still synthesised (silently), so a
  // short last frame can bring a second end decision: the port, the controls and the BSR count
  // are handled once. With the identification on, the callsign in Morse follows from the next
  // buffer on, and the transmission ends after it (transmitStep).
  if (state.txInProgress && !tx.cw.running() && !startIdentification(state, tx, host))
    endTransmission(state, host);
  state.txSilent = true;
  state.silentFrameCount += 1;
  holdOnLastBlock(state);
}

void transmitStep(SharedState& state, TransmitterState& tx, TransmitHost& host) {
  if (!state.txInProgress) return;
  if (tx.cw.running()) {
    if (tx.cw.finished()) {
      tx.cw.stop();
      endTransmission(state, host);
      return;
    }
    ModulatorState& m = tx.modulator;
    tx.cw.fill(m.txSamples.data(), kOutputBufferSamples);
    if (host.levelDialogShowing())
      host.showLevelPeaks({.input = 0.0, .output = double(outputPeak(m.txSamples.data(), kOutputBufferSamples))});
    host.queueOutputBuffer(m.txSamples.data(), kOutputBufferSamples);
    return;
  }
  ModulatorControls controls = modulatorControls(state);
  SequencerBoundary boundary(state, tx, host, controls);
  synthesiseBuffer(tx.modulator, controls, tx.stream, boundary, host);
}

void beginTransmission(SharedState& state, TransmitterState& tx, int txKind) {
  state.txKind = txKind;
  state.txInProgress = true;
  tx.cw.stop();
  state.txSilent = false;
  state.silentFrameCount = 0;
  state.endFrameCount = 0;
  state.txStopRequested = false;
  state.txBlockCol = 0;
  state.txBlockRow = 0;
  tx.stream.preambleSent = false;
  tx.modulator.txPhase = 0.0;
  tx.modulator.txSymbolIndex = 0;
  tx.modulator.txSampleTick = 0;
}

void launchTransmission(SharedState& state, TransmitterState& tx, TransmitHost& host) {
  switch (state.txKind) {
    case kTxImage: {
      const Picture* picture = host.frameSources().txPicture;
      state.txBlocksAcross = picture ? picture->width() / 16 : 0;
      state.txBlocksDown = picture ? picture->height() / 16 : 0;
      state.txBlockCol = -1;
      state.txBlockRow = 0;
      break;
    }
    case kTxBsrRequest:
    case kTxBsrResponse:
      state.txBlocksAcross = 3;
      state.txBlocksDown = 3;
      break;
    default:
      state.txBlocksAcross = 1;
      state.txBlocksDown = 1;
      break;
  }

  host.openPtt();
  for (int i = 0; i < kPrimedBuffers; ++i) primeOutputBuffer(tx.modulator, host);

  if (state.txKind == kTxText) {
    buildTextFrame(state, host.frameSources(), tx.stream);
  } else {
    state.callsignSendCounter = -host.numCallSend();
    buildCallsignFrame(state, host.frameSources(), tx.stream);
  }
}

void startTransmission(SharedState& state, TransmitterState& tx, TransmitHost& host, int txKind) {
  beginTransmission(state, tx, txKind);
  launchTransmission(state, tx, host);
}
