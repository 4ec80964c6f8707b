#include "tx/cw_identification.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "tx/modulator.h"

namespace {

struct MorseEntry {
  char c;
  const char* code;
};

constexpr MorseEntry kMorse[] = {
    {'A', ".-"},    {'B', "-..."},  {'C', "-.-."},  {'D', "-.."},   {'E', "."},     {'F', "..-."},
    {'G', "--."},   {'H', "...."},  {'I', ".."},    {'J', ".---"},  {'K', "-.-"},   {'L', ".-.."},
    {'M', "--"},    {'N', "-."},    {'O', "---"},   {'P', ".--."},  {'Q', "--.-"},  {'R', ".-."},
    {'S', "..."},   {'T', "-"},     {'U', "..-"},   {'V', "...-"},  {'W', ".--"},   {'X', "-..-"},
    {'Y', "-.--"},  {'Z', "--.."},  {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"},
    {'4', "....-"}, {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."},
    {'/', "-..-."},
};

}  // namespace

const char* morseCode(char c) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const MorseEntry& e : kMorse)
    if (e.c == upper) return e.code;
  return "";
}

bool CwKeyer::start(const std::string& text, const CwIdentification& cw, double amplitude) {
  spans_.clear();
  span_ = 0;
  position_ = 0;
  // One dot lasts 1.2 s / words per minute ("PARIS" is 50 dots).
  const int64_t unit = int64_t(1.2 * kOutputRate / std::clamp(cw.wordsPerMinute, 5, 60));
  int64_t t = kCwLeadSamples;
  for (char c : text) {
    const char* code = morseCode(c);
    if (!*code) continue;
    if (!spans_.empty()) t += 2 * unit;  // three units between letters (one already counted)
    for (const char* e = code; *e; ++e) {
      const int64_t length = *e == '-' ? 3 * unit : unit;
      spans_.push_back({t, t + length});
      t += length + unit;
    }
  }
  if (spans_.empty()) return running_ = false;
  keyedEnd_ = spans_.back().end;
  total_ = keyedEnd_ + int64_t(kCwTrailingBuffers) * kOutputBufferSamples +
           (kOutputBufferSamples - keyedEnd_ % kOutputBufferSamples);
  amplitude_ = std::min(amplitude, double(kOutputClip));
  step_ = 2 * std::numbers::pi * std::clamp(cw.toneHz, 300, 3000) / kOutputRate;
  return running_ = true;
}

void CwKeyer::fill(int16_t* out, int count) {
  for (int i = 0; i < count; ++i, ++position_) {
    while (span_ < spans_.size() && position_ >= spans_[span_].end) ++span_;
    double x = 0;
    if (span_ < spans_.size() && position_ >= spans_[span_].begin) {
      const Span& s = spans_[span_];
      const int64_t edge = std::min<int64_t>({position_ - s.begin, s.end - 1 - position_, kCwEdgeSamples});
      const double gain = edge >= kCwEdgeSamples ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / kCwEdgeSamples);
      x = amplitude_ * gain * std::sin(step_ * double(position_ - s.begin));
    }
    out[i] = static_cast<int16_t>(std::lround(x));
  }
}
