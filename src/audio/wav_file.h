#pragma once
// Sound files in and out. Reading accepts whatever libsndfile reads (WAV with 8/16/24/32-bit
// integer or float samples, and the other formats it knows) at any sample rate: the first (left)
// channel is taken and converted to 48000 Hz with libsamplerate; 16-bit 48000 Hz files come
// through bit-exact. Writing makes 48000 Hz mono 16-bit WAV files. Every failure comes back as a
// readable message naming the file; nothing throws.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class WavReader {
 public:
  WavReader();
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Empty on success, otherwise why the file cannot be read.
  std::string open(const std::string& path);
  bool isOpen() const;
  // Fills up to `count` samples at 48000 Hz; the number written, less only at the end of the
  // file or when reading failed (see error()).
  size_t read(int16_t* out, size_t count);
  // Why reading stopped before the end of the file (a damaged or unreadable recording), naming
  // the file and how far it was read; empty while all is well.
  const std::string& error() const;
  // Set by open() when the file holds less sound than its header says (it is read as far as it
  // goes); empty otherwise.
  const std::string& notice() const { return notice_; }
  // True once every sample has been read.
  bool atEnd();
  // The file's own rate and channel count.
  int fileRate() const;
  int fileChannels() const;
  void close();

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string error_;
  std::string notice_;
};

class WavWriter {
 public:
  WavWriter();
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates (or truncates) a 48000 Hz mono 16-bit WAV file. Empty on success.
  std::string open(const std::string& path);
  bool isOpen() const;
  // Appends samples; empty on success. The header is kept up to date, so the file is valid
  // even if the program stops before close().
  std::string write(std::span<const int16_t> samples);
  std::string close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

struct WavReadResult {
  std::vector<int16_t> samples;  // 48000 Hz mono
  std::string error;             // empty on success
};

// Reads a whole file (see WavReader). Files longer than `maxSeconds` are refused.
WavReadResult readWavMono48k(const std::string& path, double maxSeconds = 3600.0);
// The bytes of a 48000 Hz mono 16-bit WAV file holding the samples; empty on success,
// otherwise the reason (out of memory included).
std::string encodeWav48k(std::span<const int16_t> samples, std::vector<uint8_t>& bytes);
// Writes a 48000 Hz mono 16-bit WAV file through a temporary file renamed into place, so an
// error never leaves a partial file and an existing file stays as it was; empty on success,
// otherwise the reason.
std::string writeWav48k(const std::string& path, std::span<const int16_t> samples);
