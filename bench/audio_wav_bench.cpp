// Reading three minutes of recording: a 48000 Hz file straight through and a 44100 Hz stereo
// file through the rate converter.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/wav_file.h"

namespace {

std::string makeFile(int rate, int channels) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("pelimo_audio_bench_" + std::to_string(::getpid()) + "_" + std::to_string(rate) + ".wav"))
                         .string();
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<float> frames(size_t(rate) * channels);
  for (int s = 0; s < 180; ++s) {
    for (int i = 0; i < rate; ++i)
      for (int c = 0; c < channels; ++c) frames[size_t(i) * channels + c] = float(0.3 * std::sin(0.2 * (i + c)));
    sf_writef_float(f, frames.data(), rate);
  }
  sf_close(f);
  return path;
}

void readThreeMinutes(benchmark::State& state, int rate, int channels) {
  std::string path = makeFile(rate, channels);
  for (auto _ : state) {
    WavReadResult r = readWavMono48k(path);
    benchmark::DoNotOptimize(r.samples.data());
    if (!r.error.empty()) state.SkipWithError(r.error.c_str());
  }
  std::filesystem::remove(path);
}

void BM_ReadWav48kMono3Min(benchmark::State& state) { readThreeMinutes(state, 48000, 1); }
void BM_ReadWav44kStereo3Min(benchmark::State& state) { readThreeMinutes(state, 44100, 2); }

}  // namespace

BENCHMARK(BM_ReadWav48kMono3Min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWav44kStereo3Min)->Unit(benchmark::kMillisecond);
