#pragma once
// pelimo-cli simulate: two whole stations, A and B, on simulated air. Each is started from its
// own settings folder as the program starts, and operated only through its handlers: A sends a
// picture; while B lacks blocks and rounds remain, B sends its block requests and A answers
// them; A sends a text; both close and write their settings files. One line per step, and a
// JSON summary as the last line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/channel_model.h"
#include "cli/command.h"

class MainWindow;

// What the air does between the two stations. A's signal reaches B with the noise, the
// frequency offset and B's sound-card clock offset; B's signal reaches A without noise but with
// the same two offsets seen from A's side (the same radios and sound cards, the other way).
struct AirOptions {
  std::optional<double> snrDb;  // in a 2500 Hz band; none: no noise
  double frequencyOffsetHz = 0;
  double clockOffsetPpm = 0;    // B's sound-card clock against A's
  int fading = 0;               // 0 none, 1 good, 2 moderate, 3 poor (two-path CCIR)
  double clipLevel = 0;         // > 0: B's input clips at +-clipLevel (16-bit units)
};

ChannelModel channelToB(const AirOptions& air);
ChannelModel channelToA(const AirOptions& air);

inline constexpr const char* kDefaultCallsignA = "QA1AAA";
inline constexpr const char* kDefaultCallsignB = "QA2BBB";

struct SimulateOptions {
  std::string imagePath;
  int modeIndex = 0;    // the Mode combo: 0 "MSK", 1 "4L-FSK"
  int codeIndex = 0;    // the Code combo: 0 "Normal (Non)", 1 "Convolution"
  int scaleIndex = 10;  // the Scale combo: index into scaleTable (10 = 1.00)
  AirOptions air;
  uint64_t seed = 1;
  int rounds = 3;       // BSR rounds at most
  bool combining = true;  // B adds re-sent blocks to their damaged copies
  std::string text = "Hello from the simulated air";
  // The stations' folders (settings, AutoSave); temporary ones, removed at the end, if not given.
  std::optional<std::string> homeA, homeB;
  // Written into the settings before start-up; otherwise the folder's own callsign, or the
  // default when it has none.
  std::optional<std::string> callsignA, callsignB;
  // The local clock's start in seconds since 1970 (names of saved pictures); the real time if
  // not given. Tests fix it so that a run does not depend on the time of day.
  std::optional<int64_t> wallClockStart;
  // Both stations on automatic BSR (rounds at most `rounds`): after A's "Send Image" nobody
  // presses anything, and no text is sent.
  bool autoOperation = false;
  // A third station's transmission on the air for this many seconds from the end of A's picture.
  std::optional<double> busySeconds;
};

// The moments of a run at which a watcher may look at both stations (tests assert on them).
enum class SimulationStep {
  imageReceived,  // A's picture transmission is over and B has closed its reception
  bsrRequested,   // B's requests of this round are over (A shows them on "Resp BSR")
  bsrAnswered,    // A's answer of this round is over
  textReceived,   // A's text transmission is over
};

class SimulationWatcher {
 public:
  virtual void atStep(SimulationStep step, int round, const MainWindow& a, const MainWindow& b) = 0;

 protected:
  ~SimulationWatcher() = default;
};

int runSimulate(const SimulateOptions& options, std::ostream& out, std::ostream& err,
                SimulationWatcher* watcher = nullptr);

class SimulateCommand final : public CliCommand {
 public:
  CLI::App* addTo(CLI::App& app) override;
  int run(std::ostream& out, std::ostream& err) override { return runSimulate(options, out, err); }

  SimulateOptions options;
};
