#include "app/app_paths.h"

#include <cstdlib>
#include <filesystem>

#include "library/stored_image_names.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kSettingsName = "pelimo.ini";
constexpr const char* kAppFolder = "pelimo";

AppPaths pathsIn(const fs::path& configFolder, const fs::path& dataFolder) {
  AppPaths paths;
  paths.settingsFile = (configFolder / kSettingsName).string();
  paths.dataFolder = dataFolder.string();
  paths.autoSaveFolder = storeFolderIn(paths.dataFolder);
  paths.defaultTxImage = (dataFolder / "TxImage.bmp").string();
  return paths;
}

// A folder path without a trailing separator ("/a/b/" -> "/a/b", "/" stays "/").
fs::path withoutTrailingSeparator(const fs::path& p) {
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return fs::path(s);
}

std::optional<fs::path> absoluteVariable(const EnvLookup& env, const char* name) {
  if (!env) return std::nullopt;
  std::optional<std::string> value = env(name);
  if (!value || value->empty() || value->front() != '/') return std::nullopt;
  return withoutTrailingSeparator(*value);
}

}  // namespace

std::optional<std::string> systemEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

AppPaths resolveAppPaths(const std::string& executablePath,
                         const std::optional<std::string>& homeOption, const EnvLookup& env) {
  fs::path programFolder = fs::path(executablePath).parent_path();
  if (programFolder.empty()) programFolder = ".";

  if (homeOption && !homeOption->empty()) {
    fs::path folder = withoutTrailingSeparator(*homeOption);
    return pathsIn(folder, folder);
  }

  std::error_code ec;
  if (!executablePath.empty() && fs::is_regular_file(programFolder / kSettingsName, ec)) {
    return pathsIn(programFolder, programFolder);
  }

  std::optional<fs::path> home = absoluteVariable(env, "HOME");
  fs::path config = programFolder;
  if (auto xdg = absoluteVariable(env, "XDG_CONFIG_HOME")) {
    config = *xdg / kAppFolder;
  } else if (home) {
    config = *home / ".config" / kAppFolder;
  }
  fs::path data = programFolder;
  if (auto xdg = absoluteVariable(env, "XDG_DATA_HOME")) {
    data = *xdg / kAppFolder;
  } else if (home) {
    data = *home / ".local" / "share" / kAppFolder;
  }
  return pathsIn(config, data);
}

std::optional<std::string> absoluteHomeOption(const std::optional<std::string>& homeOption,
                                              std::string& problem) {
  problem.clear();
  if (!homeOption || homeOption->empty()) return homeOption;
  std::error_code ec;
  const fs::path folder = fs::absolute(*homeOption, ec).lexically_normal();
  if (ec) {
    problem = "--home " + *homeOption + ": " + ec.message();
    return std::nullopt;
  }
  const fs::file_status status = fs::status(folder, ec);
  if (fs::exists(status) && !fs::is_directory(status)) {
    problem = "--home " + *homeOption + ": it exists and is not a folder";
    return std::nullopt;
  }
  return withoutTrailingSeparator(folder).string();
}

std::string executablePath() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}
