#include "app/app_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// An environment under the test's control.
struct FakeEnv {
  std::map<std::string, std::string> vars;
  EnvLookup lookup() const {
    return [this](const std::string& name) -> std::optional<std::string> {
      auto it = vars.find(name);
      if (it == vars.end()) return std::nullopt;
      return it->second;
    };
  }
};

class AppPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pelimo-paths-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directory(dir_ / "bin");
    exe_ = (dir_ / "bin" / "pelimo").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path dir_;
  std::string exe_;
};

void expectPaths(const AppPaths& p, const std::string& settingsFile, const std::string& data) {
  EXPECT_EQ(p.settingsFile, settingsFile);
  EXPECT_EQ(p.dataFolder, data);
  EXPECT_EQ(p.autoSaveFolder, data + "/AutoSave");
  EXPECT_EQ(p.defaultTxImage, data + "/TxImage.bmp");
}

TEST_F(AppPathsTest, HomeOptionPutsEverythingInThatFolder) {
  FakeEnv env{{{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_DATA_HOME", "/data"}}};
  expectPaths(resolveAppPaths(exe_, std::string("/srv/station"), env.lookup()),
              "/srv/station/pelimo.ini", "/srv/station");
  expectPaths(resolveAppPaths(exe_, std::string("/srv/station/"), env.lookup()),
              "/srv/station/pelimo.ini", "/srv/station");
  expectPaths(resolveAppPaths(exe_, std::string("rel/dir"), env.lookup()), "rel/dir/pelimo.ini",
              "rel/dir");

  // It also beats a portable install.
  std::ofstream(dir_ / "bin" / "pelimo.ini") << "[Set]\n";
  expectPaths(resolveAppPaths(exe_, std::string("/srv/station"), env.lookup()),
              "/srv/station/pelimo.ini", "/srv/station");
  // An empty option counts as not given.
  expectPaths(resolveAppPaths(exe_, std::string(""), env.lookup()),
              (dir_ / "bin" / "pelimo.ini").string(), (dir_ / "bin").string());
}

TEST_F(AppPathsTest, SettingsBesideTheProgramMakeAPortableInstall) {
  FakeEnv env{{{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_DATA_HOME", "/data"}}};
  const std::string bin = (dir_ / "bin").string();

  // A folder of that name does not count.
  fs::create_directory(dir_ / "bin" / "pelimo.ini");
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()), "/cfg/pelimo/pelimo.ini",
              "/data/pelimo");
  fs::remove(dir_ / "bin" / "pelimo.ini");

  std::ofstream(dir_ / "bin" / "pelimo.ini") << "";
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()), bin + "/pelimo.ini", bin);
}

TEST_F(AppPathsTest, OtherwiseTheXdgFoldersOrTheirDefaults) {
  FakeEnv env{{{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_DATA_HOME", "/data/"}}};
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()), "/cfg/pelimo/pelimo.ini",
              "/data/pelimo");

  env.vars.erase("XDG_CONFIG_HOME");
  env.vars.erase("XDG_DATA_HOME");
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()),
              "/home/op/.config/pelimo/pelimo.ini", "/home/op/.local/share/pelimo");

  // Empty or relative XDG variables are ignored.
  env.vars["XDG_CONFIG_HOME"] = "";
  env.vars["XDG_DATA_HOME"] = "relative/data";
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()),
              "/home/op/.config/pelimo/pelimo.ini", "/home/op/.local/share/pelimo");

  // Only one of them set.
  env.vars["XDG_DATA_HOME"] = "/data";
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()),
              "/home/op/.config/pelimo/pelimo.ini", "/data/pelimo");
}

TEST_F(AppPathsTest, WithoutHomeTheProgramFolderStandsIn) {
  const std::string bin = (dir_ / "bin").string();
  FakeEnv env;
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()), bin + "/pelimo.ini", bin);
  env.vars["HOME"] = "";
  env.vars["XDG_DATA_HOME"] = "/data";
  expectPaths(resolveAppPaths(exe_, std::nullopt, env.lookup()), bin + "/pelimo.ini",
              "/data/pelimo");
  expectPaths(resolveAppPaths("", std::nullopt, EnvLookup{}), "./pelimo.ini", ".");
}

TEST_F(AppPathsTest, HomeOptionIsMadeAbsoluteAndAFileIsRefused) {
  std::string problem;
  EXPECT_EQ(absoluteHomeOption(std::nullopt, problem), std::nullopt);
  EXPECT_EQ(absoluteHomeOption(std::string("/srv/station/"), problem), "/srv/station");
  EXPECT_EQ(problem, "");
  const fs::path current = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(absoluteHomeOption(std::string("rel/../station"), problem), (dir_ / "station").string());
  EXPECT_EQ(problem, "");  // not there yet: made when first written
  std::ofstream("plain") << "x";
  EXPECT_EQ(absoluteHomeOption(std::string("plain"), problem), std::nullopt);
  fs::current_path(current);
  EXPECT_EQ(problem, "--home plain: it exists and is not a folder");
}

TEST(ExecutablePath, NamesThisTestProgram) {
  std::string self = executablePath();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(fs::path(self).is_absolute());
  EXPECT_TRUE(fs::is_regular_file(self));
  EXPECT_EQ(fs::path(self).filename(), "app_tests");
}

TEST(SystemEnv, ReadsTheProcessEnvironment) {
  ::setenv("PELIMO_PATHS_TEST_VAR", "value", 1);
  EXPECT_EQ(systemEnv("PELIMO_PATHS_TEST_VAR"), "value");
  ::unsetenv("PELIMO_PATHS_TEST_VAR");
  EXPECT_EQ(systemEnv("PELIMO_PATHS_TEST_VAR"), std::nullopt);
}

}  // namespace
