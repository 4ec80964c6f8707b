#pragma once
// The transmit sequencer: which frame follows when the modulator has used up the current one
// (head callsign frames, data frames with a callsign frame after every ten, end or abort
// frames, a silent tail, then the end of the transmission), the per-buffer transmit step, and
// the start of a transmission shared by the four send commands.
#include "core/shared_state.h"
#include "tx/cw_identification.h"
#include "tx/frame_builders.h"
#include "tx/modulator.h"
#include "tx/transmit_host.h"

inline constexpr int kCallsignInterval = 10;  // data frames between two callsign frames
inline constexpr int kSilentFramePeriods = 3;
inline constexpr int kPrimedBuffers = 3;

// The transmitter's own state: the modulator and the frame on the air. Allocate once.
struct TransmitterState {
  ModulatorState modulator;
  TxBitStream stream;  // txBitStream, txBitCount, preambleSent
  CwKeyer cw;          // the callsign in Morse after the frames, when the station sends it
};

// The modulator's controls as the shared state holds them now.
inline ModulatorControls modulatorControls(const SharedState& state) {
  return {state.fourLevelMode, state.outputGain, state.txSilent};
}

// The frame-boundary decision; exactly one branch runs per call. Called by the modulator
// between two symbols with txSymbolIndex back at 0.
void frameBoundary(SharedState& state, TransmitterState& tx, TransmitHost& host);

// Once per played output buffer: nothing unless txInProgress, else synthesise and queue the
// next buffer (the frame-boundary decision runs inside at every frame end).
void transmitStep(SharedState& state, TransmitterState& tx, TransmitHost& host);

// First step of every send command: the kind, txInProgress, and the progress state reset
// (stop flag, end and silent counters, txSilent, position counters, preamble, phase and
// symbol clock).
void beginTransmission(SharedState& state, TransmitterState& tx, int txKind);
// Last steps of every send command, once the command's own preparation is done: the position
// bounds of the kind (an image's from the transmit picture), key the transmitter, queue three
// primed buffers, build the first frame (callsign frame with
// callsignSendCounter := -NumCallSend for image and BSR kinds, the text frame for text).
void launchTransmission(SharedState& state, TransmitterState& tx, TransmitHost& host);
// Ends the transmission at once: releases the push-to-talk lines, clears txInProgress,
// restores missingBlockCount and lets the host restore its controls. The end branch of the
// frame-boundary decision runs it; the station also uses it to stop a transmission whose
// output device has stopped playing.
void endTransmission(SharedState& state, TransmitHost& host);
// beginTransmission then launchTransmission, for callers with nothing to do in between.
void startTransmission(SharedState& state, TransmitterState& tx, TransmitHost& host, int txKind);
