#include "rx/coherent_detector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framing/frame_bits.h"
#include "rx/unit_phasor.h"

namespace {

using Complex = CoherentDetector::Complex;
constexpr int64_t kMask = CoherentDetector::kRingSize - 1;
constexpr double kPi = std::numbers::pi;

// The reading position of the tolerant detector lies on the frequency trace, which the
// low-pass delays by 25 samples against the analytic signal; the symbol read there ends half a
// symbol after its centre.
constexpr double kBoundaryFromReading = -SymbolDetector::kTraceDelay + SymbolDetector::kSpan / 2;

// Forgetting factor of the equalizer: a memory of about 100 symbols follows fading at 1 Hz
// without much noise in the taps.
constexpr double kForgetting = 0.99;
// A weak signal on a channel judged flat by the header (below) has its two-tone payload read
// with a memory of about 500 symbols: there the noise in the taps, not fading, limits the
// reading (coded MSK at -2 dB: 37 of 300 blocks at 0.99, 64 at 0.998). Above an equalized SNR
// of 8 dB, or on a fading channel that looks flat for a header, the short memory stays.
constexpr double kSteadyForgetting = 0.998;
constexpr double kSteadyBelowDb = 8.0;
// Below this equalized SNR a two-tone payload on a channel judged flat is read by the narrow
// combiner first (MSK plain at 3.5 dB on white noise: 304 of 900 blocks with the equalizer
// first, 495 so). The order matters to plain payloads only: a coded one is decoded from the
// boundary values of both readings either way.
constexpr double kNarrowBelowDb = 12.0;
// The boundary sample among the equalizer's taps: the narrow combiner's two inputs.
constexpr int kCentreTap = -CoherentDetector::kFirstTap / CoherentDetector::kTapSpacing;
// Initial inverse correlation of the equalizer is 1/kStartDelta on the diagonal (inputs are
// normalised to about 1). A large value holds the 25 weights near zero until the data outweighs
// it: fitted freely to the 63 symbols of a weak sync word, they mostly fit its noise, and the
// header read through them failed (coded MSK at -2 dB: 119 headers of 333 at 0.01, 188 at 10,
// with the fading channels unchanged or a few blocks better; 100 began to cost on fading).
constexpr double kStartDelta = 10.0;
// A sync word that fits, but below this equalized SNR, is fitted again on boundaries a nominal
// symbol apart, moved to where the word's known values fit the filtered signal best; where
// that fit fails, the recorded boundaries stay (a match they do not fit stays rejected, so
// noise opens no more frames than before). Outside frames the boundaries come from the
// tolerant receiver's timing, which at -3 dB wanders by up to two samples (a fifth of a
// symbol) from symbol to symbol, and the frame's boundaries follow the word's last one (coded
// MSK at -3 dB on white noise: 76 blocks of 300 on the recorded boundaries, 92 retimed).
// Strong words keep the recorded ones, which the timing loop holds on the stronger of two
// paths: retiming every word lost blocks on the fading channels at 20 dB (MSK plain on the
// poor channel 281 -> 279, four-level coded on the moderate one 262 -> 255), retiming those
// below 8 dB still one.
constexpr double kRetimeBelowDb = 6.5;
// A failed four-level payload on a channel its frame found flat is read backward with the
// steady channel's long memory only where the sync word after it came in below this SNR: a
// frame that failed on a strong signal most likely met a fade, which the shorter memory
// follows (coded 4L-FSK at 20 dB, blocks of 1200: 1142 -> 1152 on the moderate channel,
// 884 -> 907 on the poor one; on white noise at 7 dB 587 -> 586 of 900).
constexpr double kSteadyBackwardBelowDb = 15.0;
// The sync word is run through the equalizer this many times before the frame.
constexpr int kTrainingPasses = 2;
// Gains of the phase loop, per symbol: the phase step and the frequency step per unit of phase
// error. The loop settles in a few hundred symbols and its jitter costs little at the
// lowest usable SNR.
constexpr double kPhaseTracking = 0.01;
constexpr double kFrequencyTracking = 3e-5;
// Smoothing of the measured equalizer error inside the frame, per symbol.
constexpr double kNoiseTracking = 0.02;
// The error is never taken as less than this (a clean signal gives absurd confidences).
constexpr double kNoiseFloor = 1e-3;
// The value at the sync word's last boundary is known.
constexpr double kKnownLlr = 30.0;
// Whether the frame's channel is without echoes is judged from the header: there the symbol
// correlation's SNR (capped near 16 dB by the correlation's own errors) lies about 3 dB below
// the equalizer's, and an echo spoils the correlation far more than the equalizer. A flat
// channel lets the four-level reading keep a longer memory; should the channel fit fail, it
// lets the symbols be read from the carrier gain alone, where otherwise they are read from the
// frequency trace like the tolerant receiver does.
constexpr double kFlatBelowEqualized = 3.0;
constexpr double kFlatCeilingDb = 16.0;
constexpr double kFlatMarginDb = 3.0;
// The share of the distance to the tolerant boundary a four-level boundary moves by, per symbol:
// a clock off by 200 ppm moves the boundary by 0.1 sample in a frame of 500 symbols.
constexpr double kFourLevelTimingPull = 0.03;
// Symbols a reading inside a frame may look ahead at: a four-level one, whichever way it is
// read, and one through the channel fit.
constexpr int kReadAhead = std::max(four_level::kLookAhead, four_level::EchoReader::kDelay);
// Smoothing of the carrier gain and its noise for four-level reading, per symbol.
constexpr double kGainTracking = 0.05;

// The phase (in twelfths of a turn) of a boundary whose stream value is u, q boundaries
// after the sync word's last one (modulo 4): the value u on the axis i^q.
int twelfthsOf(double u, int q) { return ((u < 0 ? 6 : 0) + 3 * q) % 12; }

const std::array<double, 2 * CoherentDetector::kHalfPulse + 1>& halfSine() {
  static const auto pulse = [] {
    std::array<double, 2 * CoherentDetector::kHalfPulse + 1> p{};
    for (int i = -CoherentDetector::kHalfPulse; i <= CoherentDetector::kHalfPulse; ++i)
      p[i + CoherentDetector::kHalfPulse] =
          std::cos(kPi * i / (2.0 * CoherentDetector::kHalfPulse));
    return p;
  }();
  return pulse;
}

// The down converter's filter delays by 31.5 input samples; the discriminator's analytic
// signal lags the input by about 48.4 decimated samples (input, band-pass and Hilbert
// filters), so the baseband is stored that much later to line up with it.
constexpr int kDownDelay = 48;

// (-i)^q for q = 0..3: turns the stream's axis of boundary q onto the real axis.
Complex quarterTurn(int q) {
  static const Complex turns[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  return turns[q & 3];
}

// The log-likelihood ratio of the product of two independent +-1 values.
double productLlr(double a, double b) {
  const double sign = (a < 0) != (b < 0) ? -1.0 : 1.0;
  return sign * std::min(std::fabs(a), std::fabs(b)) + std::log1p(std::exp(-std::fabs(a + b))) -
         std::log1p(std::exp(-std::fabs(a - b)));
}

// The measured error of a reading, moved by the error of one more symbol.
double trackedError(double noise, double error) {
  return std::max(noise + kNoiseTracking * (error * error - noise), kNoiseFloor);
}

// A symbol's bit from the value at its end boundary (`llr`) and the one before, which the
// value then replaces.
double boundaryBit(double& previousLlr, double llr) {
  const double bit = productLlr(previousLlr, llr);
  previousLlr = llr;
  return bit;
}

// The narrow combiner's inputs: the boundary sample among the equalizer's.
std::array<double, 2> centreOf(const std::array<double, CoherentDetector::kInputs>& x) {
  return {x[2 * kCentreTap], x[2 * kCentreTap + 1]};
}

double wrapAngle(double a) { return std::remainder(a, 2.0 * kPi); }

// Puts the newest decision first among those fed back, the oldest dropping out.
void shiftIn(std::array<double, CoherentDetector::kFeedbackTaps>& feedback, double decision) {
  std::copy_backward(feedback.begin(), feedback.end() - 1, feedback.end());
  feedback[0] = decision;
}

// The quarter turn of the sync word's boundary k (the word's last one is 0).
int syncQuarter(int k) { return ((k - kSyncLength) % 4 + 4) % 4; }

}  // namespace

void CoherentDetector::load(std::span<const int16_t, kInputBufferSamples> samples,
                            int64_t blockStart) {
  downConverter.convert(samples, convertedBlock);
  for (int m = 0; m < kBlockSamples; ++m)
    baseband[(blockStart + m + kDownDelay) & kMask] = convertedBlock[m];
  basebandEnd = blockStart + kBlockSamples + kDownDelay;
  filterHalfSine(basebandEnd - kHalfPulse);
}

void CoherentDetector::filterHalfSine(int64_t end) {
  const int64_t from = std::max(matchedEnd, end - kRingSize / 2);
  matchedEnd = end;
  const int count = int(end - from);
  if (count <= 0) return;
  // The stretch read, out of the ring, so that neighbouring outputs are summed side by side
  // (each still adds its products in the pulse's order).
  for (int t = 0; t < count + 2 * kHalfPulse; ++t) {
    const Complex v = baseband[(from - kHalfPulse + t) & kMask];
    stretchRe[t] = v.real();
    stretchIm[t] = v.imag();
  }
  const auto& pulse = halfSine();
  for (int t = 0; t < count; t += kStretchLanes) {
    std::array<double, kStretchLanes> re{}, im{};
    for (int i = 0; i <= 2 * kHalfPulse; ++i)
      for (int l = 0; l < kStretchLanes; ++l) {
        re[l] += stretchRe[t + l + i] * pulse[i];
        im[l] += stretchIm[t + l + i] * pulse[i];
      }
    for (int l = 0; l < kStretchLanes && t + l < count; ++l)
      matched[(from + t + l) & kMask] = Complex(re[l], im[l]);
  }
}

void CoherentDetector::queue(const SymbolDetector::Reading& reading) {
  if (pendingCount == kPendingLimit) take();  // cannot happen with a working clock
  pending[pendingCount++] = reading;
}

bool CoherentDetector::ready(int64_t blockStart, bool inFrame) const {
  if (pendingCount == 0) return false;
  // Inside a frame the boundary may lie a little after the tolerant one; the tolerant one is
  // needed as well, for the sync search once the frame has ended.
  const double tolerant = boundaryAt(double(blockStart) + pending[0].position);
  const double boundary = std::max(tolerant, frameBoundary(tolerant));
  const bool matchedIn = boundary + kLastTap + 1 < double(matchedEnd);
  if (!inFrame) return matchedIn;
  return matchedIn && boundary + kReadAhead * four_level::kSymbolSamples + 2 < double(basebandEnd);
}

SymbolDetector::Reading CoherentDetector::take() {
  const SymbolDetector::Reading first = pending[0];
  std::copy(pending.begin() + 1, pending.begin() + pendingCount, pending.begin());
  --pendingCount;
  return first;
}

void CoherentDetector::carry() {
  for (int i = 0; i < pendingCount; ++i) pending[i].position -= kBlockSamples;
}

double CoherentDetector::boundaryAt(double position) { return position + kBoundaryFromReading; }

void CoherentDetector::record(double boundary) {
  boundaries[boundaryCount % kHistory] = boundary;
  boundaryMatched[boundaryCount % kHistory] = matchedAt(boundary);
  ++boundaryCount;
}

int CoherentDetector::differentialBit() const {
  if (boundaryCount < 2) return 0;
  const Complex last = boundaryMatched[(boundaryCount - 1) % kHistory];
  const Complex before = boundaryMatched[(boundaryCount - 2) % kHistory];
  return std::imag(last * std::conj(before)) >= 0 ? 1 : 0;
}

double CoherentDetector::syncCorrelation() const {
  constexpr int kBoundaries = kSyncLength + 1, kStretch = 16;
  static_assert(kBoundaries <= kHistory && kBoundaries % kStretch == 0);
  // The carrier at each boundary of the word, relative to the first, turned back: a 1 turns it
  // a quarter up.
  static const auto undo = [] {
    std::array<Complex, kBoundaries> u{};
    u[0] = 1.0;
    for (int k = 0; k < kSyncLength; ++k)
      u[k + 1] = u[k] * (syncWord()[k] ? Complex(0, -1) : Complex(0, 1));
    return u;
  }();
  if (boundaryCount < kBoundaries) return 0.0;
  double total = 0.0, power = 0.0;
  for (int s = 0; s < kBoundaries; s += kStretch) {
    Complex sum = 0.0;
    for (int k = s; k < s + kStretch; ++k) {
      const Complex m = boundaryMatched[(boundaryCount - kBoundaries + k) % kHistory];
      sum += m * undo[k];
      power += std::norm(m);
    }
    total += std::norm(sum);
  }
  return power > 0 ? total / power : 0.0;
}

void CoherentDetector::derotated(double start, double startPhase, int count, Complex* out) const {
  const int64_t first = int64_t(std::floor(start)) + 1;
  Complex turn = unitPhasor(-(startPhase + frequency * (double(first) - start)));
  const Complex step = unitPhasor(-frequency);
  for (int i = 0; i < count; ++i) {
    out[i] = baseband[(first + i) & kMask] * turn;
    turn *= step;
  }
}

double CoherentDetector::equalizedDb() const { return 10 * std::log10(1.0 / noise); }

bool CoherentDetector::channelLooksFlat() const {
  const double flatDb = 10 * std::log10(std::norm(gain) / gainNoise);
  return flatDb >= std::min(equalizedDb() - kFlatBelowEqualized, kFlatCeilingDb) - kFlatMarginDb;
}

void CoherentDetector::trackGain(Complex correlation) {
  const double share = std::max(kGainTracking, 1.0 / ++gainCount);
  gain += share * (correlation - gain);
  gainNoise += share * (std::norm(correlation - gain) - gainNoise);
}

bool CoherentDetector::fourLevelLlrs(double tolerant, double llr[2]) {
  llr[0] = llr[1] = 0.0;
  if (!trained) return false;
  if (!readingFourLevel) {
    phaseTwelfths = twelfthsOf(past[0], quarter);
    readingFourLevel = true;
    fourLevelFlat = channelLooksFlat();
    // The channel fitted to the frame reads better than the carrier gain alone, echo or not;
    // on a flat channel it keeps a longer memory.
    readingEcho = echo.beginPayload(phaseTwelfths, fourLevelFlat);
    payloadStartTwelfths = phaseTwelfths;
    payloadStartGain = gain;
    payloadSymbols = 0;
  }
  // Where every symbol starts, for a reading of the whole payload at its end.
  if (payloadSymbols < int(payloadStarts.size())) payloadStarts[payloadSymbols++] = {lastBoundary, phase};
  // The channel fit follows the sending clock by itself and wants its samples exactly a symbol
  // apart: a boundary pulled across a sample would shift every sample after it.
  const double boundary = frameBoundary(tolerant, readingEcho ? 0.0 : kFourLevelTimingPull);
  if (readingEcho) {
    readThroughEcho(llr);
    phase = wrapAngle(phase + frequency * (boundary - lastBoundary));
    lastBoundary = boundary;
    return true;
  }
  std::array<Complex, four_level::kWindow * four_level::kSymbolSamples> samples;
  derotated(lastBoundary, phase, int(samples.size()), samples.data());
  four_level::Correlations c;
  four_level::correlate(samples.data(), c);
  const four_level::Reading r = four_level::readSymbol(c, phaseTwelfths, gain, gainNoise);
  trackGain(c[0][r.value] * unitPhasor(-2.0 * kPi * phaseTwelfths / 12.0));
  phaseTwelfths = (phaseTwelfths + four_level::phaseStep(r.value) + 12) % 12;
  phase = wrapAngle(phase + frequency * (boundary - lastBoundary));
  lastBoundary = boundary;
  llr[0] = r.llr[0];
  llr[1] = r.llr[1];
  return fourLevelFlat;
}

std::array<CoherentDetector::Complex, four_level::kValues> CoherentDetector::toneCorrelations(
    double start, double startPhase) const {
  std::array<Complex, four_level::kSymbolSamples> symbol;
  derotated(start, startPhase, int(symbol.size()), symbol.data());
  std::array<Complex, four_level::kValues> c;
  for (int v = 0; v < four_level::kValues; ++v) c[v] = four_level::correlateOne(symbol.data(), v);
  return c;
}

void CoherentDetector::correlatePayload() {
  for (int k = 0; k < payloadSymbols; ++k)
    payloadCorrelations[k] = toneCorrelations(payloadStarts[k][0], payloadStarts[k][1]);
}

void CoherentDetector::correlateAhead(
    std::span<std::array<Complex, four_level::kValues>, kFourLevelTail> out) const {
  static_assert(kFourLevelTail < kReadAhead);
  for (int j = 0; j < kFourLevelTail; ++j) {
    const double ahead = kSymbolSpan * j;
    out[j] = toneCorrelations(lastBoundary + ahead, phase + frequency * ahead);
  }
}

void CoherentDetector::echoSamples(
    double start, double startPhase,
    std::array<Complex, four_level::EchoReader::kInputSamples>& out) const {
  derotated(start - 1.0, startPhase - frequency, int(out.size()), out.data());
}

void CoherentDetector::readThroughEcho(double llr[2]) {
  // The echo reader wants the samples of the symbols it looks ahead at; the carrier is taken
  // off them as it runs on from the last boundary.
  std::array<Complex, four_level::EchoReader::kInputSamples> samples;
  while (echo.symbolsHeld() <= echo.nextToRead() + four_level::EchoReader::kDelay) {
    const double ahead = kSymbolSpan * (echo.symbolsHeld() - echo.nextToRead());
    echoSamples(lastBoundary + ahead, phase + frequency * ahead, samples);
    echo.addSamples(samples.data());
  }
  echo.read(llr);
}

Complex CoherentDetector::matchedAt(double position) const {
  const double floor = std::floor(position);
  const double f = position - floor;
  const int64_t i = int64_t(floor);
  return matched[i & kMask] * (1.0 - f) + matched[(i + 1) & kMask] * f;
}

void CoherentDetector::features(double boundary, double boundaryPhase, int quarterTurns,
                                const std::array<double, kFeedbackTaps>& feedback, int direction,
                                std::array<double, kInputs>& x) const {
  const Complex axis = quarterTurn(quarterTurns) * scale;
  for (int i = 0; i < kForwardTaps; ++i) {
    const int offset = direction * (kFirstTap + i * kTapSpacing);
    const Complex v = matchedAt(boundary + offset) * axis *
                      unitPhasor(-(boundaryPhase + frequency * offset));
    x[2 * i] = v.real();
    x[2 * i + 1] = v.imag();
  }
  for (int m = 0; m < kFeedbackTaps; ++m) x[2 * kForwardTaps + m] = feedback[m];
}

// The phase error a symbol shows through an equalizer. Its weights on the real and imaginary
// part of a tap make one complex weight c (re - i im), and its output is the real part of the
// sum of c v. The imaginary part of that sum, times the decision, is the sine of the phase the
// carrier has turned since the weights fitted it; the data of the other axis only adds noise.
static double phaseError(const RlsCombiner<CoherentDetector::kInputs>& eq,
                         const std::array<double, CoherentDetector::kInputs>& x, double decision) {
  double quadrature = 0;
  for (int i = 0; i < CoherentDetector::kForwardTaps; ++i)
    quadrature += eq.weights[2 * i] * x[2 * i + 1] - eq.weights[2 * i + 1] * x[2 * i];
  return std::clamp(decision * quadrature, -1.0, 1.0);
}

void CoherentDetector::trackPhase(const std::array<double, kInputs>& x, double decision) {
  const double error = phaseError(equalizer, x, decision);
  phase = wrapAngle(phase + kPhaseTracking * error);
  frequency += kFrequencyTracking * error;
}

double CoherentDetector::timingShift(std::span<const double, kSyncLength + 1> b,
                                     std::span<const double, kSyncLength + 1> u) const {
  // The power of the filtered signal at the shifted boundaries turned back by the word's known
  // values, carrier offset and quarter turns; the half-sine makes it smooth in the shift, so a
  // parabola through the best point of a half-sample grid and its neighbours finds the peak.
  auto fit = [&](double shift) {
    Complex sum = 0;
    for (int k = 1; k <= kSyncLength; ++k)
      sum += matchedAt(b[k] + shift) * quarterTurn(syncQuarter(k)) *
             unitPhasor(-frequency * (b[k] - b[kSyncLength])) * u[k];
    return std::norm(sum);
  };
  // The grid's points from half a sample beyond the range on either side, so that the best
  // one within the range has both its neighbours; each is evaluated once.
  constexpr int kSteps = int(2 * kRetimeRange / 0.5) + 1;
  std::array<double, kSteps + 2> fits{};
  for (int i = 0; i < kSteps + 2; ++i) fits[i] = fit(-kRetimeRange - 0.5 + 0.5 * i);
  int best = kSteps / 2 + 1;  // no shift, unless another point fits better
  for (int i = 1; i <= kSteps; ++i)
    if (fits[i] > fits[best]) best = i;
  double shift = -kRetimeRange - 0.5 + 0.5 * best;
  const double curvature = fits[best - 1] - 2.0 * fits[best] + fits[best + 1];
  if (curvature < 0.0)
    shift += std::clamp(0.25 * (fits[best - 1] - fits[best + 1]) / curvature, -0.25, 0.25);
  return shift;
}

void CoherentDetector::train() {
  trainAt(false);
  if (!fitsSyncWord() || equalizedDb() >= kRetimeBelowDb) return;
  trainAt(true);
  if (!fitsSyncWord()) trainAt(false);
}

void CoherentDetector::trainAt(bool retimed) {
  trained = false;
  constexpr int kSymbols = kSyncLength;
  if (boundaryCount < kSymbols + 1) return;
  // b[k + 1] ends sync symbol k; b[0] is the boundary before the first one.
  std::array<double, kSymbols + 1> b{};
  for (int k = 0; k <= kSymbols; ++k)
    b[k] = boundaries[(boundaryCount - kSymbols - 1 + k) % kHistory];
  const double span = (b[kSymbols] - b[0]) / kSymbols;
  if (!(span > 8.0 && span < 12.0)) return;
  // Retimed, the word's boundaries lie a nominal symbol apart, as the frame's will.
  if (retimed)
    for (int k = 0; k < kSymbols; ++k) b[k] = b[kSymbols] - (kSymbols - k) * kSymbolSpan;

  // The stream's values at the boundaries, from the known bits: the last one is +1, and each
  // symbol's bit is the product of the values at its ends.
  const auto& word = syncWord();
  std::array<double, kSymbols + 1> u{};
  u[kSymbols] = 1.0;
  for (int k = kSymbols - 1; k >= 0; --k) u[k] = (word[k] ? 1.0 : -1.0) * u[k + 1];

  // Carrier offset: the known phase path taken out of each symbol, then the turn between
  // symbols 1, 8 and 24 apart, each step resolving the one before.
  std::array<Complex, kSymbols> r{};
  for (int k = 0; k < kSymbols; ++k) {
    const double start = b[k], length = b[k + 1] - b[k];
    const double sign = word[k] ? 1.0 : -1.0;
    const Complex from = u[k] * std::conj(quarterTurn(syncQuarter(k)));  // u i^q
    Complex sum = 0;
    for (int64_t t = int64_t(std::floor(start)) + 1; t <= int64_t(std::floor(b[k + 1])); ++t) {
      const double f = (double(t) - start) / length;
      sum += baseband[t & kMask] * std::conj(from * unitPhasor(sign * kPi / 2 * f));
    }
    r[k] = sum;
  }
  double omega = 0.0;
  for (int lag : {1, 8, 24}) {
    Complex s = 0;
    for (int k = lag; k < kSymbols; ++k)
      s += r[k] * std::conj(r[k - lag]) * unitPhasor(-omega * lag * span);
    omega += std::arg(s) / (lag * span);
  }
  frequency = omega;
  if (retimed) {
    const double shift = timingShift(b, u);
    for (double& boundary : b) boundary += shift;
  }

  double power = 0;
  for (int k = 1; k <= kSymbols; ++k) power += std::norm(matchedAt(b[k]));
  if (!(power > 0)) return;
  scale = 1.0 / std::sqrt(power / kSymbols);

  equalizer.forgetting = kForgetting;
  equalizer.reset(kStartDelta);
  narrow.forgetting = kForgetting;
  narrow.reset(kStartDelta);
  std::array<double, kInputs> x{};
  double squares = 0, narrowSquares = 0;
  for (int pass = 0; pass < kTrainingPasses; ++pass) {
    squares = narrowSquares = 0;
    for (int k = 1; k <= kSymbols; ++k) {
      for (int m = 0; m < kFeedbackTaps; ++m) past[m] = k - 1 - m >= 0 ? u[k - 1 - m] : 0.0;
      features(b[k], frequency * (b[k] - b[kSymbols]), syncQuarter(k), x);
      const double e = u[k] - equalizer.output(x);
      squares += e * e;
      if (!equalizer.update(x, u[k])) return;
      const std::array<double, 2> centre = centreOf(x);
      const double narrowError = u[k] - narrow.output(centre);
      narrowSquares += narrowError * narrowError;
      narrow.update(centre, u[k]);
    }
  }
  noise = std::max(squares / kSymbols, kNoiseFloor);
  narrowNoise = std::max(narrowSquares / kSymbols, kNoiseFloor);
  narrowRunning = std::isfinite(narrowNoise);
  narrowFirst = false;
  narrowPreviousLlr = firstValue = secondValue = kKnownLlr;
  secondBit = 0.0;
  for (int m = 0; m < kFeedbackTaps; ++m) past[m] = u[kSymbols - m];
  lastBoundary = b[kSymbols];
  phase = 0.0;
  quarter = 0;
  previousLlr = kKnownLlr;
  gain = 0.0;
  gainNoise = 1.0;
  gainCount = 0;
  readingFourLevel = false;
  readingPayload = false;
  echoSecondReading = false;
  readingEcho = false;
  // The sync word rebuilt for the channel fit, on the frame's boundaries: a symbol apart,
  // ending on the last one.
  echo.start(std::floor(b[kSymbols]) + 1.0 - b[kSymbols]);
  std::array<Complex, four_level::EchoReader::kInputSamples> samples;
  for (int k = 0; k < kSymbols; ++k) {
    const double start = b[kSymbols] - kSymbolSpan * (kSymbols - k);
    echoSamples(start, frequency * (start - b[kSymbols]), samples);
    echo.addKnown(samples.data(), twelfthsOf(u[k], syncQuarter(k)), word[k] ? 3 : 0);
  }
  std::copy(b.begin(), b.end(), wordBoundaries.begin());
  std::copy(u.begin(), u.end(), wordValues.begin());
  trained = true;
}

void CoherentDetector::readBackward(std::span<double> bits, std::span<float> ends, int startSign) {
  const size_t n = std::min({bits.size(), ends.size(), backwardValues.size() - 1});
  std::fill(bits.begin(), bits.end(), 0.0);
  std::fill(ends.begin(), ends.end(), 0.0f);
  const std::span<double> values(backwardValues.data(), n + 1);
  std::fill(values.begin(), values.end(), 0.0);
  if (!fitsSyncWord() || n == 0) return;
  readBoundariesBackward(values);
  // Symbol s of n ends at the boundary n - 1 - s before the word.
  const double turn = startSign * values[n] < 0 ? -1.0 : 1.0;
  for (size_t s = 0; s < n; ++s) {
    double before = values[n - s];
    bits[s] = boundaryBit(before, values[n - 1 - s]);
    const double end = turn * values[n - 1 - s];
    ends[s] = std::isfinite(end) ? float(std::clamp(end, -1e6, 1e6)) : 0.0f;
  }
}

void CoherentDetector::reversedEchoSamples(
    int64_t origin, double start,
    std::array<Complex, four_level::EchoReader::kInputSamples>& out) const {
  constexpr int n = four_level::EchoReader::kInputSamples;
  // Reversed sample m is sample origin - m; the carrier is removed as the word measured it.
  const int64_t first = origin - int64_t(std::floor(start)) - (n - 1);
  const double before = double(first - 1);
  std::array<Complex, n> forward;
  derotated(before, frequency * (before - wordBoundaries[kSyncLength]), n, forward.data());
  for (int i = 0; i < n; ++i) out[i] = std::conj(forward[n - 1 - i]);
}

void CoherentDetector::readFourLevelBackward(std::span<double> bits, bool flat) {
  using four_level::EchoReader;
  std::fill(bits.begin(), bits.end(), 0.0);
  const int n = int(bits.size());
  if (!fitsSyncWord() || n == 0) return;
  const int symbols = (n + 1) / 2;
  const bool padded = n % 2 != 0;
  // Time turned back about the first sample after the word's end: the word's last symbol
  // starts at `first`, and every symbol a nominal symbol after the one before.
  const double end = wordBoundaries[kSyncLength];
  const int64_t origin = int64_t(std::floor(end)) + 1;
  const double first = double(origin) - end;
  const int reversedSymbols = kSyncLength + (padded ? 1 : 0) + symbols + EchoReader::kDelay + 1;
  const int64_t earliest =
      origin - int64_t(first + kSymbolSpan * reversedSymbols) - EchoReader::kInputSamples;
  if (earliest < basebandEnd - kRingSize) return;  // the payload's samples are gone
  echoBackward.start(std::floor(first) + 1.0 - first);
  std::array<Complex, EchoReader::kInputSamples> samples;
  const auto take = [&](int symbol) {
    reversedEchoSamples(origin, first + kSymbolSpan * symbol, samples);
  };
  const auto& u = wordValues;
  const auto& word = syncWord();
  const auto startOf = [&](int k) { return twelfthsOf(u[k], syncQuarter(k)); };
  constexpr int kPhases = four_level::kPhases;
  const auto negated = [](int twelfths) { return (kPhases - twelfths) % kPhases; };
  int symbol = 0;
  for (int k = kSyncLength - 1; k >= 0; --k) {
    take(symbol++);
    echoBackward.addKnown(samples.data(), negated(startOf(k + 1)), word[k] ? 3 : 0);
  }
  int payloadStart = negated(startOf(0));
  if (padded) {
    take(symbol++);
    echoBackward.addKnown(samples.data(), payloadStart, 0);
    payloadStart = (payloadStart + four_level::phaseStep(0) + kPhases) % kPhases;
  }
  if (!echoBackward.beginPayload(payloadStart, flat && equalizedDb() < kSteadyBackwardBelowDb))
    return;
  for (int s = symbols - 1; s >= 0; --s) {
    while (echoBackward.symbolsHeld() <= echoBackward.nextToRead() + EchoReader::kDelay) {
      take(echoBackward.symbolsHeld());
      echoBackward.addSamples(samples.data());
    }
    double llr[2];
    echoBackward.read(llr);
    for (int i = 0; i < 2 && 2 * s + i < n; ++i) bits[2 * s + i] = llr[i];
  }
}

void CoherentDetector::readBoundariesBackward(std::span<double> values) {
  const auto& b = wordBoundaries;
  const auto& u = wordValues;
  constexpr int kSymbols = kSyncLength;
  // Trained on the word from its end to its start, the later values fed back.
  backward.forgetting = kForgetting;
  backward.reset(kStartDelta);
  std::array<double, kFeedbackTaps> later{};
  std::array<double, kInputs> x{};
  double squares = 0;
  for (int pass = 0; pass < kTrainingPasses; ++pass) {
    squares = 0;
    for (int k = kSymbols; k >= 0; --k) {
      for (int m = 0; m < kFeedbackTaps; ++m) later[m] = k + 1 + m <= kSymbols ? u[k + 1 + m] : 0.0;
      features(b[k], frequency * (b[k] - b[kSymbols]), syncQuarter(k), later, -1, x);
      const double e = u[k] - backward.output(x);
      squares += e * e;
      if (!backward.update(x, u[k])) return;
    }
  }
  double error = std::max(squares / (kSymbols + 1), kNoiseFloor);
  for (int m = 0; m < kFeedbackTaps; ++m) later[m] = u[m];
  values[0] = u[0] * kKnownLlr;
  // Before the word the boundaries lie a nominal symbol apart, as the frame's did; the phase
  // loop runs backward in time, so a carrier that turns faster than measured lags, not leads.
  double turn = frequency, boundaryPhase = frequency * (b[0] - b[kSymbols]);
  for (size_t j = 1; j < values.size(); ++j) {
    boundaryPhase = wrapAngle(boundaryPhase - turn * kSymbolSpan);
    features(b[0] - double(j) * kSymbolSpan, boundaryPhase, syncQuarter(-int(j)), later, -1, x);
    const double y = backward.output(x);
    const double decision = y >= 0 ? 1.0 : -1.0;
    const double phaseOff = phaseError(backward, x, decision);
    boundaryPhase = wrapAngle(boundaryPhase + kPhaseTracking * phaseOff);
    turn -= kFrequencyTracking * phaseOff;
    error = trackedError(error, decision - y);
    if (!std::isfinite(y) || !backward.update(x, decision)) return;
    shiftIn(later, decision);
    values[j] = 2.0 * y / error;
  }
}

double CoherentDetector::readNarrow(const std::array<double, kInputs>& x, double& bit) {
  bit = 0.0;
  if (!narrowRunning) return 0.0;
  const std::array<double, 2> centre = centreOf(x);
  const double y = narrow.output(centre);
  const double decision = y >= 0 ? 1.0 : -1.0;
  narrowNoise = trackedError(narrowNoise, decision - y);
  if (!std::isfinite(y) || !narrow.update(centre, decision)) {
    narrowRunning = false;
    return 0.0;
  }
  const double llr = 2.0 * y / narrowNoise;
  bit = boundaryBit(narrowPreviousLlr, llr);
  return llr;
}

double CoherentDetector::detect(double tolerant, bool forChannelFit) {
  if (!trained) return 0.0;
  const double boundary = frameBoundary(tolerant);
  const double spacing = boundary - lastBoundary;
  if (!forChannelFit && !readingPayload) {
    readingPayload = true;
    const bool flat = channelLooksFlat();
    if (flat && equalizedDb() < kSteadyBelowDb) equalizer.forgetting = kSteadyForgetting;
    narrowFirst = narrowRunning && flat && equalizedDb() < kNarrowBelowDb;
    // Through echoes the payload is read a second time by the search through the channel fit,
    // which reads some of the symbols the equalizer loses in a fade.
    echoSecondReading = !flat && echo.beginPayload(twelfthsOf(past[0], quarter), false, true);
  }
  double echoLlr[2] = {0.0, 0.0};  // both bits of a two-tone symbol are its tone
  if (echoSecondReading && !forChannelFit) readThroughEcho(echoLlr);
  std::array<Complex, four_level::kSymbolSamples> symbol;
  derotated(lastBoundary, phase, int(symbol.size()), symbol.data());
  std::array<Complex, four_level::EchoReader::kInputSamples> echoInput;
  if (forChannelFit) echoSamples(lastBoundary, phase, echoInput);
  const int fromTwelfths = twelfthsOf(past[0], quarter);
  phase = wrapAngle(phase + frequency * spacing);
  lastBoundary = boundary;
  quarter = (quarter + 1) & 3;
  std::array<double, kInputs> x{};
  features(boundary, phase, quarter, x);
  const double y = equalizer.output(x);
  const double decision = y >= 0 ? 1.0 : -1.0;
  double narrowBit = 0.0;
  const double narrowLlr = readNarrow(x, narrowBit);
  const double e = decision - y;
  trackPhase(x, decision);
  noise = trackedError(noise, e);
  if (!std::isfinite(y) || !equalizer.update(x, decision)) {
    trained = false;
    echoSecondReading = false;  // the tolerant reading stands in for the rest of the frame
    previousLlr = firstValue = secondValue = secondBit = 0.0;
    return 0.0;
  }
  // The symbol's tone follows from the two ends; its correlation measures the carrier.
  const int value = decision * past[0] > 0 ? 3 : 0;
  if (forChannelFit) echo.addKnown(echoInput.data(), fromTwelfths, value);
  trackGain(four_level::correlateOne(symbol.data(), value) *
            unitPhasor(-2.0 * kPi * fromTwelfths / 12.0));
  shiftIn(past, decision);
  const double llr = 2.0 * y / noise;
  const double bit = boundaryBit(previousLlr, llr);
  firstValue = narrowFirst ? narrowLlr : llr;
  secondValue = narrowFirst ? llr : narrowLlr;
  secondBit = narrowFirst ? bit : echoSecondReading ? echoLlr[0] : narrowBit;
  return narrowFirst ? narrowBit : bit;
}
