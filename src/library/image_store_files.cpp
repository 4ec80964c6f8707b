#include "library/image_store_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/file_append.h"
#include "imaging/jpeg_file.h"
#include "library/stored_image_names.h"

namespace fs = std::filesystem;

namespace {

bool hasJpgExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return ext == ".jpg";
}

}  // namespace

std::vector<std::string> listStoredImages(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code typeError;
    if (hasJpgExtension(name) && it->is_regular_file(typeError)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string unusedStoredPath(const std::string& folder, const std::string& fileName,
                             const std::string& replaceable) {
  for (int number = 1;; ++number) {
    const std::string path = folder + "/" + numberedStoredName(fileName, number);
    std::error_code ec;
    // A dangling link counts as taken: writing through it would create some other file.
    if (path == replaceable || !fs::exists(fs::symlink_status(path, ec))) return path;
  }
}

bool saveJpeg(const Picture& picture, const std::string& path, std::string& error) {
  if (!createFolderPath(fs::path(path).parent_path().string(), error)) return false;
  return writeJpegFile(path, picture, 100, &error);
}

bool deleteStoredFile(const std::string& path, std::string& error) {
  std::error_code ec;
  if (fs::remove(path, ec) || !ec) return true;
  error = "The file cannot be deleted (" + ec.message() + "): " + path;
  return false;
}

bool deleteOldImageFiles(const std::string& folder, const LocalTime& now, int deleteDay,
                         std::string& error) {
  for (const std::string& name : listStoredImages(folder)) {
    if (storedImageIsOld(name, now, deleteDay) && !deleteStoredFile(folder + "/" + name, error))
      return false;
  }
  return true;
}
