#pragma once
// The coherent receiver's two-tone symbol detector.
//
// A two-tone symbol at 1200 baud with 600 Hz between the tones turns the carrier phase by a
// quarter turn, up for the upper tone and down for the lower one, so at the symbol boundaries
// the phase sits on one of four points a quarter turn apart, alternately on the real and the
// imaginary axis. Seen that way the signal is two interleaved streams of +-1 values, each
// shaped by a half-sine two symbols long, and the bit of a symbol is the product of the values
// at its two ends. That allows coherent detection: the analytic signal is moved down by
// 1500 Hz, filtered by the half-sine, and read at every symbol boundary.
//
// At every sync word the known 63 symbols give the carrier offset (from the phase turn
// between symbols, in three steps of growing span) and train an adaptive decision-feedback
// equalizer (recursive least squares over eleven taps half a symbol apart and three past
// decisions). Through the frame the equalizer keeps adapting on its own decisions and follows
// fading and echoes up to about two symbols long, whichever path is the stronger. A
// decision-directed phase loop follows what is left of the carrier offset: the offset measured
// on a sync word that arrives over two paths can be a few hertz wrong, and the equalizer alone
// lags behind a phase that turns that fast. Each symbol leaves as a soft value scaled by the
// equalizer's measured error.
//
// Four-level payloads are read coherently as well, from the phase the frame's two-tone part
// ended on, through a channel fitted to the frame's rebuilt signal, echoes and all
// (four_level_echo.h); should that fit fail, from the carrier gain measured on the two-tone
// symbols on a channel without echoes (four_level_trellis.h). Each reading waits for the
// samples of the symbols it looks ahead at.
//
// Outside frames, symbol positions come from the tolerant receiver's clock and timing loop, and
// the sync word is also looked for coherently at them: a weak word stands out there when its
// hard decisions no longer do.
// Inside a frame the boundaries follow the sync word's last one at the nominal symbol rate:
// the timing loop wanders with the stronger of two paths, while the equalizer follows both
// and a clock error of 200 ppm moves a frame's last boundary by about one sample. A boundary is
// read once the samples up to the last equalizer tap have arrived, so the readings of the last
// symbols of a block wait for the next block.
#include <array>
#include <complex>
#include <cstdint>
#include <span>

#include "framing/frame_bits.h"
#include "rx/demodulator.h"
#include "rx/down_converter.h"
#include "rx/four_level_echo.h"
#include "rx/four_level_trellis.h"
#include "rx/rls_equalizer.h"
#include "rx/symbol_detector.h"
#include "rx/sync_search.h"

struct CoherentDetector {
  using Complex = std::complex<double>;
  // Samples of baseband kept (a power of two): a frame with the longest payload and the sync
  // word after it, so that a failed payload can be read again backward from that word.
  static constexpr int kRingSize = 65536;
  static constexpr int kHalfPulse = 10;   // the half-sine spans two symbols
  static constexpr int kTapSpacing = 5;   // half a symbol
  static constexpr int kFirstTap = -20;   // equalizer taps from two symbols before...
  static constexpr int kLastTap = 30;     // ...to three symbols after the boundary
  static constexpr int kForwardTaps = (kLastTap - kFirstTap) / kTapSpacing + 1;
  static constexpr int kFeedbackTaps = 3;
  static constexpr int kInputs = 2 * kForwardTaps + kFeedbackTaps;
  static constexpr int kHistory = 64;  // symbol boundaries kept for training
  static constexpr int kPendingLimit = 32;
  static constexpr double kSymbolSpan = 10.0;  // samples per symbol at 12 kHz

  // Analytic signal moved down by 1500 Hz, and its half-sine filtered copy, by absolute sample
  // index modulo the ring size.
  std::array<Complex, kRingSize> baseband{};
  std::array<Complex, kRingSize> matched{};
  int64_t basebandEnd = 0;              // one past the last baseband sample
  int64_t matchedEnd = 0;               // one past the last filtered sample
  DownConverter downConverter;
  std::array<Complex, kBlockSamples> convertedBlock{};
  // The stretch of baseband the half-sine filter reads in one load, out of the ring, real and
  // imaginary parts apart.
  static constexpr int kStretchLanes = 8;
  std::array<double, kRingSize / 2 + 2 * kHalfPulse + kStretchLanes> stretchRe{}, stretchIm{};

  // Readings waiting for their samples, positions relative to the current block.
  std::array<SymbolDetector::Reading, kPendingLimit> pending{};
  int pendingCount = 0;

  // Boundaries (absolute sample positions) at the end of the latest symbols, a ring.
  std::array<double, kHistory> boundaries{};
  std::array<Complex, kHistory> boundaryMatched{};  // the filtered signal at those boundaries
  int64_t boundaryCount = 0;

  // The frame being read.
  RlsCombiner<kInputs> equalizer;
  bool trained = false;
  double frequency = 0.0;  // carrier offset measured on the sync word, radians per sample
  double phase = 0.0;      // carrier phase removed at the last boundary
  double lastBoundary = 0.0;
  int quarter = 0;           // boundary count modulo 4: the stream alternates axes
  double scale = 1.0;        // input normalisation, from the sync word
  double noise = 1.0;        // mean squared equalizer error
  double previousLlr = 0.0;  // the value at the last boundary as a log-likelihood ratio
  // Every two-tone symbol is also read by a combiner of the boundary sample alone (its real and
  // imaginary parts), trained and run beside the equalizer on its own decisions. Two weights
  // fit far less noise than the equalizer's 25, so on a channel without echoes it reads weak
  // signals better; through echoes it reads worse. A weak payload on a channel the header found
  // flat is read by it first and by the equalizer second, every other frame the other way
  // round: where the first reading fails its check, the frame is decoded from the second.
  RlsCombiner<2> narrow;
  bool narrowRunning = false;
  bool narrowFirst = false;
  // Whether the payload's two-tone symbols are read a second time through the channel fit (a
  // channel with echoes).
  bool echoSecondReading = false;
  double narrowNoise = 1.0;
  double narrowPreviousLlr = 0.0;
  // The values at the last boundary (log-likelihood ratios, positive for +1) by the first and
  // the second reading, and the last symbol's bit by the second.
  double firstValue = 0.0;
  double secondValue = 0.0;
  double secondBit = 0.0;
  // Whether secondBit is a payload's second reading of its own (else the tolerant receiver's
  // reading stands in): the equalizer's where the narrow combiner reads first, the search
  // through the channel fit's where the channel has echoes.
  bool readsSecond() const { return narrowFirst || echoSecondReading; }
  // Whether frames are decoded from the values at the boundaries (frame_reader.h) rather than
  // from the symbols' bits alone; off only to compare with the older reading.
  bool boundaryDecoding = true;
  std::array<double, kFeedbackTaps> past{};  // the latest decisions, newest first
  // The last fitted sync word: its boundaries and values, and the equalizer that reads
  // backward from it.
  std::array<double, kSyncLength + 1> wordBoundaries{}, wordValues{};
  RlsCombiner<kInputs> backward;
  std::array<double, kMaxPayloadChannelBits + 1> backwardValues{};  // at the boundaries, latest first
  // The carrier as a four-level reading needs it: the correlation a symbol gives at phase 0,
  // its noise variance, and the phase (in twelfths of a turn) at the last boundary.
  Complex gain = 0.0;
  double gainNoise = 1.0;
  int gainCount = 0;
  int phaseTwelfths = 0;
  bool readingFourLevel = false;
  bool readingPayload = false;  // the frame's header has been read
  bool fourLevelFlat = true;  // the frame's four-level symbols are read coherently
  // The four-level payload's symbols read so far: where each starts (its boundary and the
  // carrier phase there), and, once correlatePayload() has run, their correlations with each
  // tone's ramp (carrier removed); the phase point and gain the payload started on.
  std::array<std::array<double, 2>, kMaxPayloadChannelBits / 2> payloadStarts{};
  std::array<std::array<Complex, four_level::kValues>, kMaxPayloadChannelBits / 2> payloadCorrelations{};
  int payloadSymbols = 0;
  int payloadStartTwelfths = 0;
  Complex payloadStartGain = 0.0;
  void correlatePayload();
  // The same correlations of the symbols after the last one read (as many as are held: a
  // reading looks six symbols ahead of the one it reads).
  static constexpr int kFourLevelTail = 5;
  void correlateAhead(std::span<std::array<Complex, four_level::kValues>, kFourLevelTail> out) const;
  // The frame's symbols rebuilt for the channel fit, and the four-level reading that uses the
  // echoes (on a channel judged not flat).
  four_level::EchoReader echo;
  bool readingEcho = false;
  four_level::EchoReader echoBackward;  // reads a four-level payload backward

  // Moves one input buffer (48 kHz), with DC and hum removed, down by 1500 Hz, low-passes and decimates it to 12 kHz
  // (a filter of its own: the input conditioning's half-band filter lets the noise from 9.5 to
  // 11.5 kHz fold into the band), aligned with the discriminator's samples of the block.
  void load(std::span<const int16_t, kInputBufferSamples> samples, int64_t blockStart);
  // Readings wait here until their samples are in.
  void queue(const SymbolDetector::Reading& reading);
  // True when the first waiting reading has its samples: `inFrame`, those of the symbols the
  // readings through the channel fit look ahead at too.
  bool ready(int64_t blockStart, bool inFrame) const;
  SymbolDetector::Reading take();
  // After the block: pending positions move to the next block's frame of reference.
  void carry();

  // The boundary after the symbol read at `position` (absolute), recorded for training.
  static double boundaryAt(double position);
  // Where the symbol whose tolerant boundary is `tolerant` ends: inside a trained frame one
  // nominal symbol after the last boundary read. Four-level symbols, read without an
  // equalizer, need the boundary closer than two-tone ones: for them `pull` moves it a little
  // towards the tolerant one, which follows the sending sound card's clock.
  double frameBoundary(double tolerant, double pull = 0.0) const {
    if (!trained) return tolerant;
    const double nominal = lastBoundary + kSymbolSpan;
    return nominal + pull * (tolerant - nominal);
  }
  void record(double boundary);
  SyncSearch sync;  // the sync search over differentialBit()
  // The one-bit decision outside frames, for the sync search: the turn of the filtered signal
  // between the last two recorded boundaries (up for the upper tone).
  int differentialBit() const;
  // How well the last 64 recorded boundaries match the sync word read coherently: the carrier
  // turned back by the word's known quarter turns, summed over four stretches of 16 boundaries
  // (a carrier offset of some 20 Hz turns a longer one too far), their powers added and
  // divided by the boundaries' power. About 1 on noise or data, 16 on a clean sync word.
  double syncCorrelation() const;
  // Above this a word is taken to have ended (for the equalizer to judge, like any match). An
  // hour of noise (4.3 million boundaries) never passed it, nor 3.5 more than 700 times; a word
  // at -3 dB mostly does, where its hard decisions often differ in more than 16 bits.
  static constexpr double kSyncCorrelationThreshold = 5.0;
  // The log-likelihood ratios (positive for 1) of the two bits of the frame's next four-level
  // symbol (tolerant boundary `tolerant`), read coherently from the phase the frame's two-tone
  // part ended on, through the channel fitted to the frame (four_level_echo.h) or, on a flat
  // channel where the fit fails, from the carrier gain alone. False when neither reading can be
  // made; the ratios are set either way.
  bool fourLevelLlrs(double tolerant, double llr[2]);
  // At a sync match: the last 63 recorded boundaries close the sync word's symbols. A weak
  // word that fits is fitted again on boundaries retimed to the word itself, where that fits.
  void train();
  // After train(): whether the equalizer fitted the sync word. A true sync word leaves a
  // small error even at 0 dB; a match on noise, or on a word read a symbol or more off, leaves
  // an error near the signal's own power.
  bool fitsSyncWord() const { return trained && noise <= kMaxTrainingError; }
  static constexpr double kMaxTrainingError = 0.6;
  // After train() on a word that fits: the channel values (log-likelihood ratios, positive for
  // bit 1) of the bits.size() two-tone symbols before the word, in the order sent, read
  // backward from the word through an equalizer trained on it in reverse time. A payload whose
  // reading lost the signal part-way is mostly read again this way from its end, where the
  // forward reading holds only garbage. `ends` (as long as `bits`) takes the values at the
  // symbols' end boundaries (positive for +1), turned over where the value read at the first
  // symbol's start disagrees with `startSign` (the sign there by the earlier reading; each sync
  // word fixes its own, which need not be the frame's). Values the backward reading did not
  // reach are 0.
  void readBackward(std::span<double> bits, std::span<float> ends, int startSign);
  // The same for the bits.size() channel bits of a four-level payload before the word (an odd
  // count is followed by a zero bit and one symbol of zero bits), read through a channel fitted
  // to the word in reverse time. Turned back in time and conjugated, the signal is again one of
  // the same symbols, in reverse order, each starting on the phase the sent one ended on
  // negated, through the channel turned back and conjugated likewise; the search through the
  // channel fit (four_level_echo.h) reads it from the word on; with the steady channel's long
  // memory where `flat` (the payload's frame found its channel without echoes) and the word
  // came in weak.
  void readFourLevelBackward(std::span<double> bits, bool flat);
  // The channel soft value (log-likelihood ratio, positive for bit 1) of the next symbol of a
  // trained frame, whose tolerant boundary is `tolerant`. With `forChannelFit` (the header's
  // symbols) the symbol also goes to the channel fit a four-level payload would be read with.
  double detect(double tolerant, bool forChannelFit);

 private:
  // Fits the equalizer to the sync word on its recorded boundaries or, `retimed`, on
  // boundaries a nominal symbol apart moved by timingShift().
  void trainAt(bool retimed);
  // The values at the boundaries before the fitted word, values[j] j symbols before its first.
  void readBoundariesBackward(std::span<double> values);
  // The shift (samples, within kRetimeRange) of the word's boundaries `b` at which the filtered
  // signal fits the word's values `u` at them best.
  static constexpr double kRetimeRange = 3.0;
  double timingShift(std::span<const double, kSyncLength + 1> b,
                     std::span<const double, kSyncLength + 1> u) const;
  // Runs the half-sine filter over the baseband up to `end` (exclusive).
  void filterHalfSine(int64_t end);
  Complex matchedAt(double position) const;
  // `count` baseband samples from the first after `start`, with the carrier offset and phase
  // removed (`startPhase` is the phase removed at `start`).
  void derotated(double start, double startPhase, int count, Complex* out) const;
  void trackGain(Complex correlation);
  // The SNR of the equalizer's output (from its measured error), in dB.
  double equalizedDb() const;
  // Whether the frame's channel is without echoes, judged from its two-tone symbols so far.
  bool channelLooksFlat() const;
  void readThroughEcho(double llr[2]);
  // A symbol's correlations with each tone's ramp, from `start` with the carrier at `startPhase`.
  std::array<Complex, four_level::kValues> toneCorrelations(double start, double startPhase) const;
  // A symbol's samples for the echo reader, from the one before its first (`start` is its
  // boundary, `startPhase` the carrier phase there).
  void echoSamples(double start, double startPhase,
                   std::array<Complex, four_level::EchoReader::kInputSamples>& out) const;
  // The same for the signal turned back in time about the integer sample `origin` and
  // conjugated, for the symbol that starts at `start` in that time.
  void reversedEchoSamples(int64_t origin, double start,
                           std::array<Complex, four_level::EchoReader::kInputSamples>& out) const;
  // Moves the carrier phase and frequency by the phase error the symbol's features show.
  void trackPhase(const std::array<double, kInputs>& x, double decision);
  // The equalizer's inputs at a boundary: the filtered signal at the taps around it, turned
  // by the carrier phase and the stream's axis, then the decisions fed back. Backward
  // (`direction` -1) the taps are mirrored and `feedback` holds the later decisions.
  void features(double boundary, double boundaryPhase, int quarterTurns,
                std::array<double, kInputs>& x) const {
    features(boundary, boundaryPhase, quarterTurns, past, 1, x);
  }
  void features(double boundary, double boundaryPhase, int quarterTurns,
                const std::array<double, kFeedbackTaps>& feedback, int direction,
                std::array<double, kInputs>& x) const;
  // The symbol with the features x through the narrow combiner: its value at the boundary as a
  // log-likelihood ratio, and in `bit` the symbol's bit; 0 for both once it has failed.
  double readNarrow(const std::array<double, kInputs>& x, double& bit);
};
