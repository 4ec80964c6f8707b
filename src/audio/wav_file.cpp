#include "audio/wav_file.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/file_bytes.h"

namespace {

constexpr int kRate = 48000;
constexpr int kChunkFrames = 4096;

std::string inQuotes(const std::string& path) { return "\"" + path + "\""; }

int16_t toSample(float v) {
  float s = std::nearbyint(v * 32768.0f);
  if (!(s == s)) return 0;  // NaN
  return int16_t(std::clamp(s, -32768.0f, 32767.0f));
}

// Why `path` cannot be opened for reading, or empty when it looks like a readable file.
std::string checkReadable(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty()) return "No sound file was given";
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory)
    return "The file " + inQuotes(path) + " can not be read: " + ec.message();
  if (!fs::exists(st)) return "The file " + inQuotes(path) + " does not exist";
  if (fs::is_directory(st)) return inQuotes(path) + " is a folder, not a sound file";
  if (!fs::is_regular_file(st)) return inQuotes(path) + " is not a regular file";
  if (fs::file_size(path, ec) == 0 && !ec) return "The file " + inQuotes(path) + " is empty";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "The file " + inQuotes(path) + " can not be read: " + std::strerror(errno);
  std::fclose(f);
  return {};
}

}  // namespace

struct WavReader::State {
  SNDFILE* file = nullptr;
  SF_INFO info{};
  SRC_STATE* converter = nullptr;
  double ratio = 1.0;
  std::vector<float> frames;   // interleaved chunk from the file
  std::vector<float> mono;     // its first channel
  std::vector<float> pending;  // samples at 48000 Hz not yet handed out
  size_t pendingPos = 0;
  long inputCount = 0, inputPos = 0;
  bool inputDone = false;
  bool finished = false;
  std::string path;
  sf_count_t framesRead = 0;  // at the file's own rate
  std::string failure;        // why reading stopped early

  // Stops reading with a message saying how far the recording was read.
  void fail(const std::string& reason) {
    finished = true;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", double(framesRead) / info.samplerate);
    failure = "The recording " + inQuotes(path) + " cannot be read to its end: reading failed after " +
              seconds + " s (" + reason + ")";
  }

  ~State() {
    if (converter) src_delete(converter);
    if (file) sf_close(file);
  }

  // Reads the next chunk's first channel into `mono`; false at the end of the file.
  bool readChunk() {
    sf_count_t n = sf_readf_float(file, frames.data(), kChunkFrames);
    // libsndfile gives a short count both at the end and on a read error; only sf_error tells.
    if (sf_error(file) != SF_ERR_NO_ERROR) {
      fail(sf_strerror(file));
      return false;
    }
    if (n <= 0) return false;
    framesRead += n;
    const int channels = info.channels;
    for (sf_count_t i = 0; i < n; ++i) mono[i] = frames[size_t(i) * channels];
    inputCount = long(n);
    inputPos = 0;
    return true;
  }

  // Puts the next samples at 48000 Hz into `pending`; false when none are left.
  bool refill() {
    pending.clear();
    pendingPos = 0;
    if (finished) return false;
    if (!converter) {
      if (!readChunk()) {
        finished = true;
        return false;
      }
      pending.assign(mono.begin(), mono.begin() + inputCount);
      return true;
    }
    std::vector<float>& out = pending;
    out.resize(size_t(kChunkFrames * ratio) + 64);
    for (;;) {
      if (!inputDone && inputPos == inputCount && !readChunk()) {
        inputDone = true;
        inputCount = inputPos = 0;
      }
      SRC_DATA d{};
      d.data_in = mono.data() + inputPos;
      d.input_frames = inputCount - inputPos;
      d.data_out = out.data();
      d.output_frames = long(out.size());
      d.end_of_input = inputDone ? 1 : 0;
      d.src_ratio = ratio;
      if (const int e = src_process(converter, &d); e != 0) {
        fail(std::string("sample rate conversion: ") + src_strerror(e));
        out.clear();
        return false;
      }
      inputPos += d.input_frames_used;
      if (d.output_frames_gen > 0) {
        out.resize(size_t(d.output_frames_gen));
        return true;
      }
      if (inputDone) {
        finished = true;
        out.clear();
        return false;
      }
    }
  }
};

namespace {

// libsndfile reads a recording whose sound chunk is shorter than its header says (a copy or a
// recording that was cut off) as far as it goes, and notes the header's length in its log as
// "data : 96000 (should be 47978)".
std::string cutOffNote(SNDFILE* file, const std::string& path) {
  char log[8192] = {};
  sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
  for (const char* line = log; *line;) {
    const char* end = std::strchr(line, '\n');
    const std::string text(line, end ? end : line + std::strlen(line));
    if (text.rfind("data", 0) == 0 && text.find("(should be") != std::string::npos)
      return "The recording " + inQuotes(path) + " is cut off: it holds less sound than its header says";
    if (!end) break;
    line = end + 1;
  }
  return {};
}

}  // namespace

WavReader::WavReader() = default;
WavReader::~WavReader() = default;

std::string WavReader::open(const std::string& path) {
  close();
  error_.clear();
  notice_.clear();
  if (std::string why = checkReadable(path); !why.empty()) return why;
  auto s = std::make_unique<State>();
  s->file = sf_open(path.c_str(), SFM_READ, &s->info);
  if (!s->file)
    return "The file " + inQuotes(path) + " is not a sound file that can be read (" + sf_strerror(nullptr) + ")";
  if (s->info.channels < 1 || s->info.samplerate <= 0)
    return "The file " + inQuotes(path) + " has no usable sound format";
  if (s->info.frames == 0) return "The file " + inQuotes(path) + " holds no sound";
  s->ratio = double(kRate) / s->info.samplerate;
  if (s->info.samplerate != kRate) {
    if (!src_is_valid_ratio(s->ratio))
      return "The sample rate of " + inQuotes(path) + " (" + std::to_string(s->info.samplerate) +
             " Hz) is not supported";
    int error = 0;
    s->converter = src_new(SRC_SINC_FASTEST, 1, &error);
    if (!s->converter) return std::string("The sample rate converter failed: ") + src_strerror(error);
  }
  notice_ = cutOffNote(s->file, path);
  s->path = path;
  s->frames.resize(size_t(kChunkFrames) * s->info.channels);
  s->mono.resize(kChunkFrames);
  state_ = std::move(s);
  return {};
}

bool WavReader::isOpen() const { return state_ != nullptr; }
int WavReader::fileRate() const { return state_ ? state_->info.samplerate : 0; }
int WavReader::fileChannels() const { return state_ ? state_->info.channels : 0; }
void WavReader::close() { state_.reset(); }
const std::string& WavReader::error() const { return error_; }

size_t WavReader::read(int16_t* out, size_t count) {
  if (!state_) return 0;
  State& s = *state_;
  size_t done = 0;
  while (done < count) {
    if (s.pendingPos == s.pending.size() && !s.refill()) break;
    size_t n = std::min(count - done, s.pending.size() - s.pendingPos);
    for (size_t i = 0; i < n; ++i) out[done + i] = toSample(s.pending[s.pendingPos + i]);
    s.pendingPos += n;
    done += n;
  }
  if (!s.failure.empty()) error_ = s.failure;
  return done;
}

bool WavReader::atEnd() {
  if (!state_) return true;
  State& s = *state_;
  if (s.pendingPos < s.pending.size()) return false;
  const bool more = s.refill();
  if (!s.failure.empty()) error_ = s.failure;
  return !more;
}

struct WavWriter::State {
  SNDFILE* file = nullptr;
  std::string path;
  ~State() {
    if (file) sf_close(file);
  }
};

WavWriter::WavWriter() = default;
WavWriter::~WavWriter() { close(); }

std::string WavWriter::open(const std::string& path) {
  close();
  if (path.empty()) return "No sound file was given";
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return "The file " + inQuotes(path) + " can not be written (" + sf_strerror(nullptr) + ")";
  sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  state_ = std::make_unique<State>();
  state_->file = file;
  state_->path = path;
  return {};
}

bool WavWriter::isOpen() const { return state_ != nullptr; }

std::string WavWriter::write(std::span<const int16_t> samples) {
  if (!state_) return "No sound file is open for writing";
  if (samples.empty()) return {};
  sf_count_t n = sf_write_short(state_->file, samples.data(), sf_count_t(samples.size()));
  if (n != sf_count_t(samples.size()))
    return "Writing " + inQuotes(state_->path) + " failed (" + sf_strerror(state_->file) + ")";
  return {};
}

std::string WavWriter::close() {
  if (!state_) return {};
  int error = sf_close(state_->file);
  state_->file = nullptr;
  std::string path = state_->path;
  state_.reset();
  if (error != 0) return "Closing " + inQuotes(path) + " failed (" + sf_error_number(error) + ")";
  return {};
}

WavReadResult readWavMono48k(const std::string& path, double maxSeconds) {
  WavReadResult result;
  WavReader reader;
  result.error = reader.open(path);
  if (!result.error.empty()) return result;
  const size_t limit = size_t(std::max(0.0, maxSeconds) * kRate);
  std::vector<int16_t>& samples = result.samples;
  constexpr size_t kStep = kRate;
  for (;;) {
    size_t at = samples.size();
    if (at > limit) {
      samples.clear();
      samples.shrink_to_fit();
      result.error = "The file " + inQuotes(path) + " is longer than " +
                     std::to_string(int(maxSeconds)) + " s, too long to read at once";
      return result;
    }
    samples.resize(at + kStep);
    size_t n = reader.read(samples.data() + at, kStep);
    samples.resize(at + n);
    if (n < kStep) break;
  }
  if (!reader.error().empty()) {
    samples.clear();
    result.error = reader.error();
    return result;
  }
  if (samples.empty()) result.error = "The file " + inQuotes(path) + " holds no sound";
  return result;
}

namespace {

// libsndfile's virtual I/O over a growing byte vector.
struct MemoryFile {
  std::vector<uint8_t>* bytes;
  sf_count_t position = 0;
};

sf_count_t memoryLength(void* user) { return sf_count_t(static_cast<MemoryFile*>(user)->bytes->size()); }
sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? memoryLength(user) : 0;
  if (base + offset < 0) return -1;
  m->position = base + offset;
  return m->position;
}
sf_count_t memoryRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t size = memoryLength(user);
  const sf_count_t n = std::clamp<sf_count_t>(size - m->position, 0, count);
  if (n > 0) std::memcpy(out, m->bytes->data() + m->position, size_t(n));
  m->position += n;
  return n;
}
sf_count_t memoryWrite(const void* in, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const size_t end = size_t(m->position + count);
  try {
    if (end > m->bytes->size()) m->bytes->resize(end);
  } catch (const std::bad_alloc&) {
    return 0;  // libsndfile reports the short write
  }
  std::memcpy(m->bytes->data() + m->position, in, size_t(count));
  m->position += count;
  return count;
}
sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

}  // namespace

std::string encodeWav48k(std::span<const int16_t> samples, std::vector<uint8_t>& bytes) {
  bytes.clear();
  try {
    bytes.reserve(samples.size() * 2 + 64);
  } catch (const std::bad_alloc&) {
    return "There is not enough memory for the recording (" + std::to_string(samples.size() / kRate) +
           " s of sound)";
  }
  MemoryFile memory{&bytes};
  SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
  if (!file) return std::string("The recording cannot be made (") + sf_strerror(nullptr) + ")";
  const sf_count_t written = sf_write_short(file, samples.data(), sf_count_t(samples.size()));
  std::string error;
  if (written != sf_count_t(samples.size()))
    error = std::string("The recording cannot be made (") + sf_strerror(file) + ")";
  if (sf_close(file) != 0 && error.empty()) error = "The recording cannot be made (closing failed)";
  if (!error.empty()) bytes.clear();
  return error;
}

std::string writeWav48k(const std::string& path, std::span<const int16_t> samples) {
  if (path.empty()) return "No sound file was given";
  std::vector<uint8_t> bytes;
  if (std::string e = encodeWav48k(samples, bytes); !e.empty()) return e;
  std::string error;
  if (!writeFileReplacing(path, bytes.data(), bytes.size(), &error)) return error;
  return {};
}
