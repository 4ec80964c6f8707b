#pragma once
// Four-level reading through the channel fitted to each frame, echoes and all. The transmitted
// signal is rebuilt from the symbols: each symbol is a phase ramp (one of four) starting on one
// of twelve phase points, so the received signal is the sum of every symbol's phase point times
// the channel's response to its ramp. The channel is fitted as a complex filter (taps from 2.4
// symbols before to 2.4 symbols after the symbol timing, at 6 kHz) by exponentially weighted
// least squares against the rebuilt signal: first over the frame's two-tone part (sync word
// known, header decided), then through the payload on the best path three symbols back (the
// fit lags the channel less than it would on the decisions), with a carrier loop for what turns
// faster than the fit follows.
//
// The payload is read by a Viterbi search whose states are the phase a symbol ends on and the
// symbol's value; each survivor keeps its own recent symbols for the echoes they leave in the
// samples still to come. Every sample is scored once, by the last symbol that reaches it with
// some weight, so the paths merging at a state have had the echo of the symbol before it
// scored too. A symbol is decided six symbols later from the best survivor, and its two soft
// bits come from the metric differences at the merges where survivors disagreeing on it were
// dropped.
#include <array>
#include <complex>
#include <cstdint>

namespace four_level {

class EchoReader {
 public:
  using Complex = std::complex<double>;
  static constexpr int kSymbolSamples = 5;  // every other 12 kHz sample
  // 12 kHz samples given per symbol: the one before its first, its ten, and two after. Each
  // 6 kHz sample is the mean of four, which puts a null on the image of the carrier that a
  // real transmitter leaves at twice the centre frequency.
  static constexpr int kInputSamples = 13;
  static constexpr int kPrecursor = 12;  // taps before the symbol timing
  static constexpr int kPostcursor = 12;  // taps after it
  static constexpr int kTaps = kPrecursor + kPostcursor + 1;
  static constexpr int kResponse = kTaps + kSymbolSamples - 1;  // one symbol's response
  static constexpr int kMemory = (kResponse - 1) / kSymbolSamples;  // earlier symbols it reaches
  static constexpr int kDelay = 6;     // symbols a decision waits for
  static constexpr int kFitDelay = 3;  // symbols the fit waits for
  static constexpr int kHistory = 8;  // symbols each survivor keeps (a power of two)
  static constexpr int kRing = 1024;  // samples kept (a power of two)
  static constexpr int kStates = 12 * 4;  // the phase a symbol ends on, and its value
  static_assert(kHistory > kMemory && kHistory > kDelay);

  // A new frame; `offset` is how far (0..1 of a 12 kHz sample) the first 12 kHz sample of every
  // symbol lies after the symbol's boundary.
  void start(double offset);
  // The frame's next two-tone symbol: its kInputSamples with the carrier removed, the
  // phase (in twelfths) it starts on and its four-level value (0 or 3).
  void addKnown(const Complex* samples, int startTwelfths, int value);
  // Fits the channel to the frame so far, for a payload whose first symbol starts on phase
  // `startTwelfths`; with `steady` the fit keeps a longer memory (a channel without echoes,
  // which fades, if at all, slowly); with `twoTone` the payload is read as two-tone symbols
  // (values 0 and 3 only). False when the fit fails (too short a frame).
  bool beginPayload(int startTwelfths, bool steady = false, bool twoTone = false);
  // The frame index of the first symbol whose samples have not been given yet, and of the next
  // payload symbol to be read. Reading a symbol needs the samples of the kDelay symbols after it.
  int symbolsHeld() const { return held_; }
  int nextToRead() const { return decided_; }
  // The kInputSamples (carrier removed) of frame symbol symbolsHeld().
  void addSamples(const Complex* samples);
  // Reads the next payload symbol: log-likelihood ratios of its first (high) and second bit,
  // positive for 1. Returns the value decided.
  int read(double llr[2]);

 private:
  struct Survivor {
    double metric;
    std::array<int8_t, kHistory> phase;  // start phase of each kept symbol
    std::array<int8_t, kHistory> value;
    std::array<std::array<float, 2>, kHistory> reliability;  // of each bit of each kept symbol
  };
  void store(int symbol, const Complex* samples);
  void rebuild(int symbol, int startTwelfths, int value);
  // Takes the samples up to sampleEnd into the fit; returns their phase against its prediction.
  double learnUpTo(int sampleEnd);
  // The fit's predictions of `count` (at most kPredictionLanes) samples from `from` on.
  static constexpr int kPredictionLanes = 8;
  void predict(int from, int count, std::array<Complex, kPredictionLanes>& predictions) const;
  // What takes the carrier loop's phase off a sample.
  Complex carrierAt(int sample) const;
  void solve();
  void step();
  // Bounds the reliability of the bits of the kDelay symbols before m in `kept` by a path
  // `gap` worse, dropped where it joined.
  static void bound(Survivor& kept, const Survivor& dropped, float gap, int m);
  // Rebuilds the symbols up to `through` as the best survivor has them, for the fit.
  void follow(const Survivor& best, int through);

  // Each value's phase ramp at the samples of a symbol, from phase 0.
  std::array<std::array<Complex, kSymbolSamples>, 4> ramps_{};
  std::array<Complex, kRing> received_{};  // 6 kHz samples, carrier removed
  std::array<Complex, kRing> rebuilt_{};   // the transmitted signal rebuilt from symbols
  // The same, real and imaginary parts apart, with the ring's first kTaps - 1 samples repeated
  // past its end: the inputs of all taps lie side by side for the fit.
  std::array<double, kRing + kTaps - 1> rebuiltRe_{}, rebuiltIm_{};
  std::array<int8_t, kRing> symbolPhase_{}, symbolValue_{};  // known and decided symbols
  int held_ = 0;     // symbols whose samples are in
  int known_ = 0;    // symbols rebuilt (known or decided)
  int decided_ = 0;  // next payload symbol to read
  int stepped_ = 0;  // next symbol the search adds
  int learned_ = 0;  // next sample the channel fit takes in
  // The fit: correlations of the rebuilt signal at lags 0..kTaps-1, its cross-correlation
  // with the received one per tap (both with tap d at kTaps - 1 - d, real and imaginary parts
  // apart), the taps, the responses to each value's ramp, and the variance of what the fit
  // leaves.
  std::array<double, kTaps> autoRe_{}, autoIm_{}, crossRe_{}, crossIm_{};
  // The lag correlations as they stood after each of the last kPast samples: the fit's matrix
  // is built from them.
  static constexpr int kPast = 32;  // at least kTaps, a power of two
  static constexpr int kPastMask = kPast - 1;
  std::array<std::array<double, kTaps>, kPast> pastAutoRe_{}, pastAutoIm_{};
  std::array<Complex, kTaps> taps_{};
  std::array<std::array<Complex, kResponse>, 4> responses_{};
  // What the search adds up, in floats (their rounding is far below the noise): the responses
  // turned to each phase point, what a symbol of phase p and value v adds, with real and
  // imaginary parts side by side and zeros past the end, so that an echo is always read as a
  // run of kRun floats; and the part a symbol adds to its own step's samples, one float of
  // them a row with the four values side by side.
  static constexpr int kRun = 2 * kSymbolSamples + 2;  // a step's samples, to whole vectors
  std::array<std::array<std::array<float, 2 * (kResponse + kSymbolSamples)>, 4>, 12> echoes_{};
  std::array<std::array<std::array<float, 4>, 2 * kSymbolSamples>, 12> own_{};
  double noise_ = 1.0;
  double forgetting_ = 1.0;  // weight of the fit per sample
  int lead_ = 0;  // where the responses start to carry weight, against the timing (at most 0)
  int sinceSolve_ = 0;
  // A carrier loop on the payload: the phase at one sample and the turn per sample.
  double carrierPhase_ = 0.0, carrierTurn_ = 0.0;
  int carrierSample_ = 0;
  std::array<std::array<Survivor, kStates>, 2> survivors_{};  // this step's and the next's
  int current_ = 0;
  int best_ = 0;  // the state of the best survivor
  bool twoTone_ = false;  // only the values 0 and 3 are read
};

}  // namespace four_level
