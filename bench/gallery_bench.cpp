// The gallery on a store of 5000 pictures, each with its record: the time from opening to the
// first listing and to the first screen of thumbnails, and the longest time any main-thread
// call of the gallery took meanwhile (the window's event loop calls them; none may wait for the
// folder or a picture). The main thread polls every millisecond, as a busy event loop would.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/dialogs/gallery_dialog.h"
#include "app/platform.h"
#include "imaging/jpeg_file.h"
#include "library/picture_record.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPictures = 5000;
constexpr int kFirstScreen = 40;  // thumbnails in view when the window opens

class QuietPlatform : public Platform {
 public:
  void messageBox(const std::string&, bool) override {}
  bool askYesNo(const std::string&, bool) override { return false; }
  std::optional<Picture> clipboardPicture() override { return std::nullopt; }
  void setClipboardPicture(const Picture&) override {}
  void setClipboardText(const std::string&) override {}
  LocalTime localTime() override { return {}; }
  int64_t timeSeconds() override { return 0; }
  void drawText(Picture&, int, int, const std::string&, int, Colour) override {}
  bool windowExists(const std::string&) override { return false; }
  bool sendF8ToWindow(const std::string&) override { return false; }
  bool startMixer() override { return false; }
  void showModal(SettingsDialog&) override {}
};

// A store of kPictures small pictures with records, made once per run and removed at exit.
struct Store {
  fs::path folder = fs::temp_directory_path() / ("pelimo-gallery-bench-" + std::to_string(::getpid()));
  Store() {
    fs::create_directories(folder);
    Picture picture(320, 240);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x)
        picture.set(x, y, Colour{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x ^ y)});
    std::vector<uint8_t> jpeg;
    encodeJpeg(picture, 75, jpeg);
    // Plain writes: the store is made once and thrown away, it needs no safe replacing.
    const auto write = [](const std::string& path, const void* data, size_t size) {
      std::ofstream(path, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    };
    for (int i = 0; i < kPictures; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "2026%02d%02d_%02d%02d_QA%04d", 1 + i / 600 % 12, 1 + i / 24 % 25,
                    i % 24, i % 60, i);
      const std::string path = (folder / name).string() + ".jpg";
      write(path, jpeg.data(), jpeg.size());
      PictureRecord record{"QA1XYZ", "2026-12-08T14:30:05Z", 300 - i % 50, 9.5, "MSK", "Normal (Non)", 1.0,
                           7'074'000.0, "coherent"};
      const std::string text = pictureRecordJson(record);
      write(recordPathOf(path), text.data(), text.size());
    }
  }
  ~Store() { fs::remove_all(folder); }
};

Store& store() {
  static Store made;
  return made;
}

void BM_GalleryOpensOnFiveThousandPictures(benchmark::State& state) {
  const std::string folder = store().folder.string();
  QuietPlatform platform;
  double listMs = 0, screenMs = 0, longestCallUs = 0;
  for (auto _ : state) {
    GalleryDialog gallery(platform, nullptr);
    const auto timed = [&](auto&& call) {
      const auto start = Clock::now();
      call();
      longestCallUs = std::max(longestCallUs,
                               std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    };
    const auto opened = Clock::now();
    timed([&] { gallery.show(folder); });
    bool listed = false, screen = false;
    while (!screen) {
      timed([&] { gallery.resultsWaiting(); });
      if (!listed && !gallery.items.empty()) {
        listed = true;
        listMs = std::chrono::duration<double, std::milli>(Clock::now() - opened).count();
      }
      int shown = 0;
      timed([&] {
        for (int i = 0; i < std::min<int>(kFirstScreen, static_cast<int>(gallery.items.size())); ++i)
          shown += gallery.thumbnail(i) != nullptr;
      });
      if (listed && shown == kFirstScreen) {
        screen = true;
        screenMs = std::chrono::duration<double, std::milli>(Clock::now() - opened).count();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (gallery.items.size() != kPictures) state.SkipWithError("not every picture was listed");
  }
  state.counters["pictures"] = kPictures;
  state.counters["firstListingMs"] = listMs;
  state.counters["firstScreenMs"] = screenMs;
  state.counters["longestMainThreadCallUs"] = longestCallUs;
}
BENCHMARK(BM_GalleryOpensOnFiveThousandPictures)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
