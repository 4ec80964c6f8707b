#include "library/image_store_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/file_bytes.h"
#include "core/file_append.h"
#include "imaging/jpeg_file.h"
#include "library/picture_record.h"
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

bool pathTaken(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// A stored picture is at most a few megabytes; a copy of a larger file is refused.
constexpr uint64_t kMaxLatestBytes = 64ull * 1024 * 1024;
constexpr int kMaxLinks = 16;

// The file a write to path reaches: symbolic links followed (relative ones from their own
// folder); empty, with a message, for a loop of links or a file that is not a regular one.
std::string writeTarget(const std::string& path, std::string& error) {
  fs::path p = path;
  for (int links = 0;; ++links) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(p, ec);
    if (ec || !fs::exists(status)) return p.string();  // a new file
    if (fs::is_symlink(status)) {
      const fs::path next = fs::read_symlink(p, ec);
      if (ec || links == kMaxLinks) {
        error = "The link cannot be followed: " + path;
        return {};
      }
      p = next.is_absolute() ? next : p.parent_path() / next;
      continue;
    }
    if (!fs::is_regular_file(status)) {
      error = "This is not a file, so it is left as it is: " + path;
      return {};
    }
    return p.string();
  }
}

}  // namespace

std::vector<std::string> listStoredImages(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::error_code typeError;
    if (hasJpgExtension(name) && name != kLatestPictureName && it->is_regular_file(typeError))
      names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string unusedStoredPath(const std::string& folder, const std::string& fileName,
                             const std::string& replaceable) {
  for (int number = 1;; ++number) {
    const std::string path = folder + "/" + numberedStoredName(fileName, number);
    // A dangling link counts as taken: writing through it would create some other file. A
    // record without its picture keeps its name too, so no picture takes another's record.
    if (path == replaceable || (!pathTaken(path) && !pathTaken(recordPathOf(path)))) return path;
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

bool deleteStoredPicture(const std::string& path, std::string& error) {
  if (!deleteStoredFile(path, error)) return false;
  const std::string record = recordPathOf(path);
  if (record.empty() || !isStationImageName(fs::path(path).filename().string())) return true;
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(record, ec)) || !readPictureRecord(record)) return true;
  return deleteStoredFile(record, error);
}

bool copyToLatestPicture(const std::string& folder, const std::string& picturePath,
                         std::string& error) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(picturePath, kMaxLatestBytes, bytes, error)) return false;
  const std::string target = writeTarget(folder + "/" + kLatestPictureName, error);
  return !target.empty() && writeFileReplacing(target, bytes.data(), bytes.size(), &error);
}

bool deleteOldImageFiles(const std::string& folder, const LocalTime& now, int deleteDay,
                         std::string& error) {
  for (const std::string& name : listStoredImages(folder)) {
    if (storedImageIsOld(name, now, deleteDay) && !deleteStoredPicture(folder + "/" + name, error))
      return false;
  }
  return true;
}
