#pragma once
// Station handlers made of two functions, for tests that only record the buffer steps.
#include <cstdint>
#include <functional>
#include <utility>

#include "audio/station_loop.h"

class FunctionStationHandlers final : public StationHandlers {
 public:
  FunctionStationHandlers(std::function<void(const int16_t*)> input, std::function<void()> output)
      : input_(std::move(input)), output_(std::move(output)) {}
  void onInputBuffer(const int16_t* samples) override { input_(samples); }
  void onOutputBufferDone() override { output_(); }

 private:
  std::function<void(const int16_t*)> input_;
  std::function<void()> output_;
};
