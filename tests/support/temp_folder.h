#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
#include <stdlib.h>

#include <filesystem>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "pelimo") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};
