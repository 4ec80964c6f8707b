#pragma once
// The station's callsign in Morse code after a transmission: a tone in the passband keyed on
// and off with raised-cosine edges, at the frames' output level, followed by silence long
// enough for the buffers queued ahead to play before the radio is released.
#include <cstdint>
#include <string>
#include <vector>

struct CwIdentification {
  bool enabled = false;
  int wordsPerMinute = 20;
  int toneHz = 1500;
};

inline constexpr int kCwEdgeSamples = 240;      // 5 ms rise and fall at 48000 Hz
inline constexpr int kCwLeadSamples = 4800;     // 100 ms of silence after the frames
inline constexpr int kCwTrailingBuffers = 2;    // silent buffers after the last element

// Dots and dashes of a letter, digit or '/'; empty for any other character.
const char* morseCode(char c);

class CwKeyer {
 public:
  // Prepares the keying of `text` (upper-cased; characters without a code are skipped). False,
  // and nothing to send, when no character has a code. Allocates; not called per buffer.
  bool start(const std::string& text, const CwIdentification& cw, double amplitude);
  void stop() { running_ = false; }
  bool running() const { return running_; }
  // Every sample of the keying and of the trailing silence has been produced.
  bool finished() const { return position_ >= total_; }
  // The next `count` samples at 48000 Hz.
  void fill(int16_t* out, int count);
  int64_t keyedSamples() const { return keyedEnd_; }

 private:
  struct Span {
    int64_t begin, end;  // key down from begin to end (samples from the start)
  };
  std::vector<Span> spans_;
  size_t span_ = 0;
  int64_t position_ = 0;
  int64_t keyedEnd_ = 0;
  int64_t total_ = 0;
  double amplitude_ = 0;
  double step_ = 0;  // phase step per sample
  bool running_ = false;
};
