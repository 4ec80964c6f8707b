#include "rx/four_level_echo.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "rx/four_level_trellis.h"
#include "rx/unit_phasor.h"
#include "rx/wide_loops.h"

namespace four_level {
namespace {

using Complex = EchoReader::Complex;
constexpr int kSampleMask = EchoReader::kRing - 1;
constexpr int kHistoryMask = EchoReader::kHistory - 1;
constexpr double kNone = std::numeric_limits<double>::infinity();

// The fit's memory in samples (its weight per sample is 1 - 1 / memory). A channel with echoes
// is fitted on the frame's two-tone part with a memory of 40 symbols; on the payload the memory
// shortens with the SNR the training left, as the square root from an SNR of 10 (10 dB), down
// to 14 symbols. The fit's error is the noise it takes in, which a longer memory averages, plus
// its lag behind a fading channel, which a shorter one cuts: where the noise is weak, the lag
// is what is left. A steady channel keeps a memory of 160 symbols throughout (shortened like
// the other, it lost a few blocks on white noise at a good SNR).
constexpr double kLongMemory = 200;
constexpr double kSteadyMemory = 800;
constexpr double kLongMemorySnr = 10;
constexpr double kShortMemory = 70;
// Taps are fitted again after this many decided symbols; a two-tone payload (read a second
// time this way) reads as well with half as many fits.
constexpr int kSolveEvery = 6;
constexpr int kTwoToneSolveEvery = 12;
// The fit's diagonal is loaded by this share of the signal power: the rebuilt signal has no
// power far from the carrier, and the taps would otherwise follow the noise there.
constexpr double kLoading = 1e-3;
// Samples of the responses below this share of the strongest one's power count as not reached
// by the symbol.
constexpr double kSignificant = 0.1;
// Gains of the carrier loop per decided symbol: the phase step and the step of the turn per
// sample, per unit of phase error. The fit alone lags a carrier left turning by a few hertz
// (the offset measured on a sync word that arrives over two paths can be that far out).
constexpr double kCarrierTracking = 0.05;
constexpr double kTurnTracking = 0.001 / EchoReader::kSymbolSamples;
// Smoothing of the fit's error, per sample.
constexpr double kNoiseTracking = 1.0 / 200;
// The error is never taken as less than this share of the signal (a clean signal gives absurd
// confidences), nor a bit's reliability as more than this.
constexpr double kNoiseFloor = 1e-3;
constexpr float kMostReliable = 40.0f;
// A payload is read this way only after a fit over this many symbols of the frame.
constexpr int kLeastTraining = 40;

// e^(i 2 pi k / 12).
const std::array<Complex, kPhases>& phasePoints() {
  static const auto points = [] {
    std::array<Complex, kPhases> p{};
    for (int k = 0; k < kPhases; ++k) p[k] = std::polar(1.0, 2.0 * std::numbers::pi * k / kPhases);
    return p;
  }();
  return points;
}

// A complex product without the checks for infinite parts that std::complex makes (they
// would cost more than the arithmetic in the loops below).
inline Complex times(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// a times the conjugate of b, the same way.
inline Complex timesConj(Complex a, Complex b) {
  return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}

int wrapTwelfths(int t) { return ((t % kPhases) + kPhases) % kPhases; }

// A Hermitian matrix of the fit's size by its lower triangle, column by column (element i of
// column k is row i), real and imaginary parts apart so that the loops down a column run on
// whole vectors.
constexpr int kFitSize = EchoReader::kTaps;
struct LowerColumns {
  std::array<std::array<double, kFitSize>, kFitSize> re, im;
};

// Solves A x = y for the Hermitian positive definite matrix A through its Cholesky factor L
// (A = L L^H), which overwrites it. Each column is finished in turn and then taken off the
// columns after it, so every element gets its updates in the same order as the textbook
// recursion. False when A is not positive definite.
PELIMO_WIDE_LOOPS bool solveHermitian(LowerColumns& a, const std::array<Complex, kFitSize>& y,
                                      std::array<Complex, kFitSize>& x) {
  constexpr int n = kFitSize;
  for (int j = 0; j < n; ++j) {
    double* re = a.re[j].data();
    double* im = a.im[j].data();
    const double diagonal = re[j];
    if (!(diagonal > 0) || !std::isfinite(diagonal)) return false;
    const double root = std::sqrt(diagonal), inverse = 1.0 / root;
    re[j] = root;
    im[j] = 0.0;
    // The finished column, copied so that the compiler sees it apart from the ones it updates.
    std::array<double, n> lRe, lIm;  // rows j + 1 on
    for (int i = j + 1; i < n; ++i) {
      lRe[i] = re[i] *= inverse;
      lIm[i] = im[i] *= inverse;
    }
    // Column k loses L[i][j] conj(L[k][j]) at every row i from k on.
    for (int k = j + 1; k < n; ++k) {
      const double cr = lRe[k], ci = lIm[k];
      double* outRe = a.re[k].data();
      double* outIm = a.im[k].data();
      for (int i = k; i < n; ++i) {
        outRe[i] -= lRe[i] * cr + lIm[i] * ci;
        outIm[i] -= lIm[i] * cr - lRe[i] * ci;
      }
    }
  }
  for (int i = 0; i < n; ++i) {  // L z = y
    Complex sum = y[i];
    for (int k = 0; k < i; ++k) sum -= times(Complex(a.re[k][i], a.im[k][i]), x[k]);
    x[i] = sum / a.re[i][i];
  }
  for (int i = n - 1; i >= 0; --i) {  // L^H x = z
    Complex sum = x[i];
    for (int k = i + 1; k < n; ++k) sum -= timesConj(x[k], Complex(a.re[i][k], a.im[i][k]));
    x[i] = sum / a.re[i][i];
  }
  for (const Complex& v : x)
    if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) return false;
  return true;
}

}  // namespace

void EchoReader::start(double offset) {
  for (int v = 0; v < kValues; ++v) {
    const double turn = 2.0 * std::numbers::pi / kPhases * phaseStep(v);
    for (int j = 0; j < kSymbolSamples; ++j)
      ramps_[v][j] = std::polar(1.0, turn * (2 * j + offset) / (2 * kSymbolSamples));
  }
  held_ = known_ = decided_ = stepped_ = learned_ = 0;
}

void EchoReader::store(int symbol, const Complex* samples) {
  for (int j = 0; j < kSymbolSamples; ++j)
    received_[(symbol * kSymbolSamples + j) & kSampleMask] =
        0.25 * (samples[2 * j] + samples[2 * j + 1] + samples[2 * j + 2] + samples[2 * j + 3]);
}

void EchoReader::rebuild(int symbol, int startTwelfths, int value) {
  const Complex point = phasePoints()[startTwelfths];
  for (int j = 0; j < kSymbolSamples; ++j) {
    const int at = (symbol * kSymbolSamples + j) & kSampleMask;
    rebuilt_[at] = point * ramps_[value][j];
    rebuiltRe_[at] = rebuilt_[at].real();
    rebuiltIm_[at] = rebuilt_[at].imag();
    if (at < kTaps - 1) {
      rebuiltRe_[at + kRing] = rebuiltRe_[at];
      rebuiltIm_[at + kRing] = rebuiltIm_[at];
    }
  }
  symbolPhase_[symbol & kSampleMask] = int8_t(startTwelfths);
  symbolValue_[symbol & kSampleMask] = int8_t(value);
  known_ = symbol + 1;
}

void EchoReader::addKnown(const Complex* samples, int startTwelfths, int value) {
  store(held_, samples);
  rebuild(held_, startTwelfths, value);
  decided_ = stepped_ = ++held_;
}

void EchoReader::addSamples(const Complex* samples) { store(held_++, samples); }

Complex EchoReader::carrierAt(int sample) const {
  return unitPhasor(-(carrierPhase_ + carrierTurn_ * (sample - carrierSample_)));
}

PELIMO_WIDE_LOOPS void EchoReader::predict(int from, int count,
                         std::array<Complex, kPredictionLanes>& predictions) const {
  // Tap d of sample i reads the rebuilt sample i + kPrecursor - d; the samples side by side
  // read side by side unless their inputs wrap around the ring. Each prediction still adds
  // its products in tap order.
  const int first = (from + kPrecursor) & kSampleMask;
  if (count < kPredictionLanes || first + kPredictionLanes > kRing) {
    for (int l = 0; l < count; ++l) {
      Complex predicted = 0;
      for (int d = 0; d < kTaps; ++d)
        predicted += times(taps_[d], rebuilt_[(from + l + kPrecursor - d) & kSampleMask]);
      predictions[l] = predicted;
    }
    return;
  }
  std::array<double, kPredictionLanes> re{}, im{};
  for (int d = 0; d < kTaps; ++d) {
    const double tapRe = taps_[d].real(), tapIm = taps_[d].imag();
    // The repeated start of the ring lies past its end, so first - d + l never wraps below 0
    // unless first is below kTaps - 1: then the inputs are taken kRing further on.
    const int at = first - d < 0 ? first - d + kRing : first - d;
    const double* inRe = rebuiltRe_.data() + at;
    const double* inIm = rebuiltIm_.data() + at;
    for (int l = 0; l < kPredictionLanes; ++l) {
      re[l] += tapRe * inRe[l] - tapIm * inIm[l];
      im[l] += tapRe * inIm[l] + tapIm * inRe[l];
    }
  }
  for (int l = 0; l < kPredictionLanes; ++l) predictions[l] = Complex(re[l], im[l]);
}

PELIMO_WIDE_LOOPS double EchoReader::learnUpTo(int sampleEnd) {
  Complex unturn = carrierAt(learned_);
  const Complex unturnStep = unitPhasor(-carrierTurn_);
  double quadrature = 0, power = 0;
  std::array<Complex, kPredictionLanes> predictions;
  const int start = learned_;
  for (; learned_ < sampleEnd; ++learned_) {
    const int i = learned_;
    // Tap d holds the delay d - kPrecursor; its input is the rebuilt sample i + kPrecursor - d,
    // at w = kTaps - 1 - d in the run of inputs.
    const int first = (i + kPrecursor - (kTaps - 1)) & kSampleMask;
    const int lane = (i - start) % kPredictionLanes;
    if (lane == 0) predict(i, std::min(kPredictionLanes, sampleEnd - i), predictions);
    const double* inRe = rebuiltRe_.data() + first;
    const double* inIm = rebuiltIm_.data() + first;
    const double newRe = inRe[kTaps - 1], newIm = inIm[kTaps - 1];
    const Complex r = times(received_[i & kSampleMask], unturn);
    unturn = times(unturn, unturnStep);
    // The correlations' updates, as timesConj(newest, input) and timesConj(r, input).
    const double f = forgetting_;
    for (int w = 0; w < kTaps; ++w) {
      autoRe_[w] = f * autoRe_[w] + (newRe * inRe[w] + newIm * inIm[w]);
      autoIm_[w] = f * autoIm_[w] + (newIm * inRe[w] - newRe * inIm[w]);
    }
    std::copy(autoRe_.begin(), autoRe_.end(), pastAutoRe_[i & kPastMask].begin());
    std::copy(autoIm_.begin(), autoIm_.end(), pastAutoIm_[i & kPastMask].begin());
    for (int w = 0; w < kTaps; ++w) {
      crossRe_[w] = f * crossRe_[w] + (r.real() * inRe[w] + r.imag() * inIm[w]);
      crossIm_[w] = f * crossIm_[w] + (r.imag() * inRe[w] - r.real() * inIm[w]);
    }
    const Complex predicted = predictions[lane];
    noise_ += kNoiseTracking * (std::norm(r - predicted) - noise_);
    quadrature += timesConj(r, predicted).imag();
    power += std::norm(predicted);
  }
  return power > 0 ? quadrature / power : 0.0;
}

void EchoReader::solve() {
  sinceSolve_ = 0;
  // The fit's matrix: the weighted sum over the samples of conj(input of tap d) times the
  // input of tap e. Tap e's input at sample i is tap 0's at sample i - e, so for d >= e the
  // element is the correlation of tap 0's input with the one d - e taps later, as it stood
  // e samples ago.
  const int newest = learned_ - 1;
  LowerColumns matrix;
  std::array<Complex, kTaps> cross;
  for (int e = 0; e < kTaps; ++e) {
    const auto& pastRe = pastAutoRe_[(newest - e) & kPastMask];
    const auto& pastIm = pastAutoIm_[(newest - e) & kPastMask];
    for (int d = e; d < kTaps; ++d) {
      matrix.re[e][d] = pastRe[kTaps - 1 - (d - e)];
      matrix.im[e][d] = pastIm[kTaps - 1 - (d - e)];
    }
    cross[e] = Complex(crossRe_[kTaps - 1 - e], crossIm_[kTaps - 1 - e]);
  }
  const double loading = kLoading * autoRe_[kTaps - 1] + 1e-12;
  for (int d = 0; d < kTaps; ++d) matrix.re[d][d] += loading;
  std::array<Complex, kTaps> taps;
  if (!solveHermitian(matrix, cross, taps)) return;
  taps_ = taps;
  for (int v = 0; v < kValues; ++v)
    for (int t = 0; t < kResponse; ++t) {
      Complex s = 0;
      for (int j = std::max(0, t - kTaps + 1); j < kSymbolSamples && j <= t; ++j)
        s += times(ramps_[v][j], taps_[t - j]);
      responses_[v][t] = s;
    }
  // The search scores each sample with the last symbol that reaches it with some weight: the
  // responses' first samples before that are left out of the predictions.
  std::array<double, kResponse> power{};
  for (const auto& response : responses_)
    for (int t = 0; t < kResponse; ++t) power[t] += std::norm(response[t]);
  const double strongest = *std::max_element(power.begin(), power.end());
  int first = 0;
  while (first < kPrecursor && power[first] < kSignificant * strongest) ++first;
  lead_ = first - kPrecursor;
  // The search takes the responses from there on turned to every phase point. A quarter turn
  // more swaps the parts and changes a sign, so only the first three points take products.
  const auto& points = phasePoints();
  for (int p = 0; p < kPhases; ++p)
    for (int v = 0; v < kValues; ++v) {
      float* out = echoes_[p][v].data();
      if (p < 3) {
        for (int t = first; t < kResponse; ++t) {
          const Complex e = times(points[p], responses_[v][t]);
          out[2 * t] = float(e.real());
          out[2 * t + 1] = float(e.imag());
        }
        continue;
      }
      const float* before = echoes_[p - 3][v].data();
      for (int t = first; t < kResponse; ++t) {
        out[2 * t] = -before[2 * t + 1];
        out[2 * t + 1] = before[2 * t];
      }
    }
  for (int p = 0; p < kPhases; ++p)
    for (int k = 0; k < 2 * kSymbolSamples; ++k)
      for (int v = 0; v < kValues; ++v) own_[p][k][v] = echoes_[p][v][2 * first + k];
}

bool EchoReader::beginPayload(int startTwelfths, bool steady, bool twoTone) {
  twoTone_ = twoTone;
  if (known_ < kLeastTraining || held_ != known_) return false;
  forgetting_ = 1.0 - 1.0 / (steady ? kSteadyMemory : kLongMemory);
  // The taps run over the tap delays -kPrecursor..kPostcursor: the input of tap d at sample
  // i is the rebuilt sample i + kPrecursor - d.
  autoRe_.fill(0.0);
  autoIm_.fill(0.0);
  crossRe_.fill(0.0);
  crossIm_.fill(0.0);
  for (auto& past : pastAutoRe_) past.fill(0.0);
  for (auto& past : pastAutoIm_) past.fill(0.0);
  taps_.fill(0.0);
  carrierPhase_ = carrierTurn_ = 0.0;
  carrierSample_ = 0;
  const int end = known_ * kSymbolSamples - kPrecursor;
  learned_ = std::max(kPostcursor, end - (kRing - kTaps));
  learnUpTo(end);
  solve();
  // The error of the fit over the last samples of the training.
  double squares = 0, power = 0;
  int count = 0;
  for (int i = std::max(kPostcursor, end - 300); i < end; ++i, ++count) {
    Complex predicted = 0;
    for (int d = 0; d < kTaps; ++d)
      predicted += taps_[d] * rebuilt_[(i + kPrecursor - d) & kSampleMask];
    squares += std::norm(received_[i & kSampleMask] - predicted);
    power += std::norm(predicted);
  }
  if (count == 0 || !(power > 0)) return false;
  noise_ = std::max(squares, kNoiseFloor * power) / count;
  if (!steady) {
    const double snr = power / count / noise_;
    const double memory = kLongMemory * std::sqrt(kLongMemorySnr / snr);
    forgetting_ = 1.0 - 1.0 / std::clamp(memory, kShortMemory, kLongMemory);
  }

  current_ = 0;
  for (auto& s : survivors_[current_]) s.metric = kNone;
  const int lastValue = symbolValue_[(known_ - 1) & kSampleMask];
  Survivor& first = survivors_[current_][wrapTwelfths(startTwelfths) * kValues + lastValue];
  first.metric = 0;
  for (int s = known_ - kHistory; s < known_; ++s) {
    const int slot = s & kHistoryMask;
    first.phase[slot] = s >= 0 ? symbolPhase_[s & kSampleMask] : 0;
    first.value[slot] = s >= 0 ? symbolValue_[s & kSampleMask] : 0;
    first.reliability[slot] = {kMostReliable, kMostReliable};
  }
  decided_ = stepped_ = known_;
  best_ = wrapTwelfths(startTwelfths) * kValues + lastValue;
  return true;
}

void EchoReader::step() {
  const int m = stepped_++;
  const int firstSample = m * kSymbolSamples + lead_;
  const int reach = lead_ + kPrecursor;  // response index of the step's first sample
  const int echoes = (kResponse - 1 - reach) / kSymbolSamples;  // earlier symbols that reach
  std::array<float, kRun> received{};  // the floats past the step's samples stay 0
  Complex unturn = carrierAt(firstSample);
  const Complex unturnStep = unitPhasor(-carrierTurn_);
  for (int t = 0; t < kSymbolSamples; ++t) {
    const Complex r = times(received_[(firstSample + t) & kSampleMask], unturn);
    received[2 * t] = float(r.real());
    received[2 * t + 1] = float(r.imag());
    unturn = times(unturn, unturnStep);
  }
  const double inverseNoise = 1.0 / noise_;
  // Every step turns the phase by an odd number of twelfths: the states of one step all have
  // phases of one parity.
  const std::array<Survivor, kStates>& from = survivors_[current_];
  std::array<Survivor, kStates>& to = survivors_[current_ ^ 1];
  int parity = 0;
  while (parity < kStates && from[parity].metric == kNone) ++parity;
  if (parity == kStates) return;
  parity = (parity / kValues) & 1;
  // Each survivor's prediction of the samples from its earlier symbols, then the metric of
  // each value of symbol m.
  std::array<std::array<double, kValues>, kStates> candidate;
  for (int p = parity; p < kPhases; p += 2) {
    const auto& own = own_[p];  // from symbol m itself
    for (int u = 0; u < kValues; ++u) {
      const int state = p * kValues + u;
      const Survivor& s = from[state];
      if (s.metric == kNone) {
        candidate[state].fill(kNone);
        continue;
      }
      std::array<float, kRun> residual = received;
      for (int back = 1; back <= echoes; ++back) {
        const int start = reach + back * kSymbolSamples;
        const int slot = (m - back) & kHistoryMask;
        const float* echo = echoes_[s.phase[slot]][s.value[slot]].data() + 2 * start;
        for (int k = 0; k < kRun; ++k) residual[k] -= echo[k];
      }
      std::array<float, kValues> squares{};
      for (int k = 0; k < 2 * kSymbolSamples; ++k)
        for (int v = 0; v < kValues; ++v) {
          const float d = residual[k] - own[k][v];
          squares[v] += d * d;
        }
      for (int v = 0; v < kValues; ++v) candidate[state][v] = s.metric + squares[v] * inverseNoise;
    }
  }
  // Each state (the phase symbol m ends on and its value) keeps the best path into it; the
  // paths dropped there bound the reliability of every bit on which they differ from it.
  double least = kNone;
  const int slotNow = m & kHistoryMask;
  for (int q = parity; q < kPhases; q += 2)  // no path of this step ends on these phases
    for (int v = 0; v < kValues; ++v) to[q * kValues + v].metric = kNone;
  for (int q = parity ^ 1; q < kPhases; q += 2) {
    for (int v = 0; v < kValues; ++v) {
      Survivor& n = to[q * kValues + v];
      n.metric = kNone;
      if (twoTone_ && (v == 1 || v == 2)) continue;
      const int p = (q - phaseStep(v) + kPhases) % kPhases;
      int best = -1;
      for (int u = 0; u < kValues; ++u) {
        const double c = candidate[p * kValues + u][v];
        if (c != kNone && (best < 0 || c < candidate[p * kValues + best][v])) best = u;
      }
      if (best < 0) continue;
      n = from[p * kValues + best];
      n.metric = candidate[p * kValues + best][v];
      n.phase[slotNow] = int8_t(p);
      n.value[slotNow] = int8_t(v);
      n.reliability[slotNow] = {kMostReliable, kMostReliable};
      for (int u = 0; u < kValues; ++u) {
        const double c = candidate[p * kValues + u][v];
        // A path dropped by a wide margin bounds nothing (nearly always).
        if (u == best || !(c - n.metric < kMostReliable)) [[likely]]
          continue;
        bound(n, from[p * kValues + u], float(c - n.metric), m);
      }
      least = std::min(least, n.metric);
    }
  }
  for (int state = 0; state < kStates; ++state) {
    if (to[state].metric == kNone) continue;
    to[state].metric -= least;
    if (to[state].metric == 0) best_ = state;
  }
  current_ ^= 1;
  // The fit follows the best path a few symbols back, well before the decisions are made.
  follow(to[best_], m - kFitDelay);
}

void EchoReader::bound(Survivor& kept, const Survivor& dropped, float gap, int m) {
  for (int back = 1; back <= kDelay; ++back) {
    const int slot = (m - back) & kHistoryMask;
    for (int bit = 0; bit < 2; ++bit) {
      const int shift = 1 - bit;
      float& r = kept.reliability[slot][bit];
      if (((kept.value[slot] >> shift) & 1) != ((dropped.value[slot] >> shift) & 1))
        r = std::min(r, gap);
      else
        r = std::min(r, gap + dropped.reliability[slot][bit]);
    }
  }
}

void EchoReader::follow(const Survivor& best, int through) {
  for (; known_ <= through; ++sinceSolve_) {
    const int slot = known_ & kHistoryMask;
    rebuild(known_, best.phase[slot], best.value[slot]);
    // The samples the symbol completes turn the fit, and their phase against its prediction
    // moves the carrier loop.
    const double error = std::clamp(learnUpTo(known_ * kSymbolSamples - kPrecursor), -0.5, 0.5);
    carrierPhase_ += carrierTurn_ * (learned_ - carrierSample_) + kCarrierTracking * error;
    carrierSample_ = learned_;
    carrierTurn_ += kTurnTracking * error;
  }
  double power = 0;
  for (const auto& t : taps_) power += std::norm(t);
  noise_ = std::max(noise_, kNoiseFloor * power);
  if (sinceSolve_ >= (twoTone_ ? kTwoToneSolveEvery : kSolveEvery)) solve();
}

int EchoReader::read(double llr[2]) {
  while (stepped_ <= decided_ + kDelay && stepped_ < held_) step();
  const Survivor& best = survivors_[current_][best_];
  const int slot = decided_++ & kHistoryMask;
  const int value = best.value[slot];
  for (int bit = 0; bit < 2; ++bit) {
    const double magnitude = best.reliability[slot][bit];
    llr[bit] = ((value >> (1 - bit)) & 1) ? magnitude : -magnitude;
  }
  return value;
}

}  // namespace four_level
