#pragma once
// Helpers of the pelimo-cli suites: a temporary folder, output split into lines, and runs of the
// whole command line with captured output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "support/sample_picture.h"

namespace cli_test {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir()
      : path_(fs::temp_directory_path() /
              ("pelimo-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // The names in the folder, to see that nothing was left behind.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path_)) out.push_back(e.path().filename().string());
    return out;
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct CliRun {
  int status = 0;
  std::string out, err;
};

inline CliRun runCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  CliRun run;
  run.status = runCommandLine(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// One line on standard error and exit status 1, as every failure of the command line.
inline void expectOneLineFailure(const CliRun& run, const std::string& about) {
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(run.err.rfind("pelimo-cli: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(about), std::string::npos) << run.err;
}

}  // namespace cli_test
