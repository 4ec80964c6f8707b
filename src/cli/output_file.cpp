#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Symbolic links followed before the path counts as a loop (as the kernel's limit).
constexpr int kMaxLinks = 40;

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// Creates and removes a file in the folder: the one sure test that a file can be made there.
std::string folderProblem(const fs::path& folder) {
  const fs::path probe = folder / (".pelimo-cli-probe." + std::to_string(::getpid()));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) return {};  // a probe left behind: files can be made there
  if (fd < 0) return "cannot create a file in the folder " + quoted(folder.string()) + " (" + std::strerror(errno) + ")";
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

}  // namespace

OutputTarget checkOutputFile(const std::string& path) {
  OutputTarget target;
  if (path.empty()) {
    target.error = "no output file was given";
    return target;
  }
  fs::path p = path;
  for (int links = 0;; ++links) {
    struct stat info {};
    if (::lstat(p.c_str(), &info) != 0) {
      if (errno == ENOENT) break;  // a new file
      target.error = "the output " + quoted(path) + " cannot be used (" + std::strerror(errno) + ")";
      return target;
    }
    if (S_ISLNK(info.st_mode)) {
      if (links == kMaxLinks) {
        target.error = "the output " + quoted(path) + " is a loop of symbolic links";
        return target;
      }
      std::error_code ec;
      const fs::path next = fs::read_symlink(p, ec);
      if (ec) {
        target.error = "the symbolic link " + quoted(p.string()) + " cannot be read (" + ec.message() + ")";
        return target;
      }
      p = next.is_absolute() ? next : p.parent_path() / next;
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      target.error = "the output " + quoted(path) + " is a folder, not a file";
      return target;
    }
    if (!S_ISREG(info.st_mode)) {
      target.error = "the output " + quoted(path) +
                     " is a device, pipe or socket, not a regular file; it is left as it is";
      return target;
    }
    break;
  }
  const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  target.error = folderProblem(folder);
  if (target.error.empty()) target.path = p.string();
  return target;
}
