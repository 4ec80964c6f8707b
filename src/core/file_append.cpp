#include "core/file_append.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/file_bytes.h"

namespace {

constexpr size_t kHeadBytes = 64 * 1024;

struct OpenFile {
  int fd = -1;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);  // also releases the lock
  }
};

std::string reason(int code) { return std::strerror(code); }

std::string readHead(int fd, off_t size) {
  std::string head(static_cast<size_t>(std::min<off_t>(size, kHeadBytes)), '\0');
  size_t used = 0;
  while (used < head.size()) {
    const ssize_t n = ::pread(fd, head.data() + used, head.size() - used, static_cast<off_t>(used));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    used += static_cast<size_t>(n);
  }
  head.resize(used);
  return head;
}

bool endsWithNewline(int fd, off_t size) {
  char last = '\n';
  ssize_t n;
  do {
    n = ::pread(fd, &last, 1, size - 1);
  } while (n < 0 && errno == EINTR);
  return n != 1 || last == '\n';
}

}  // namespace

bool createFolderPath(const std::string& folder, std::string& error) {
  std::error_code ec;
  if (folder.empty() || std::filesystem::is_directory(folder, ec)) return true;
  std::filesystem::create_directories(folder, ec);
  if (!ec) return true;
  error = "The folder cannot be created (" + ec.message() + "): " + folder;
  return false;
}

bool appendToFile(const std::string& path, const std::string& headerWhenEmpty,
                  const std::string& record, const AppendHeadCheck& check, std::string& error) {
  if (path.empty()) {
    error = "No file name was given";
    return false;
  }
  OpenFile file;
  do {
    // Non-blocking so that a named pipe cannot hang the open; such paths are refused below.
    file.fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) {
    error = "The file cannot be opened (" + reason(errno) + "): " + path;
    return false;
  }
  struct stat info {};
  if (!statRegularFile(file.fd, path, info, error)) return false;
  // Another copy of the program appending at the same moment waits for this record.
  while (::flock(file.fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  if (::fstat(file.fd, &info) != 0) {
    error = "The file cannot be read (" + reason(errno) + "): " + path;
    return false;
  }
  const off_t before = info.st_size;
  if (check && before > 0) {
    const std::string why = check(readHead(file.fd, before));
    if (!why.empty()) {
      error = why + ": " + path;
      return false;
    }
  }
  // A file whose last line was left unterminated (cut off, or edited by hand) gets its line
  // ended first, so the new record starts a line of its own.
  const bool unterminated = before > 0 && !endsWithNewline(file.fd, before);
  const std::string text =
      before == 0 ? headerWhenEmpty + record : (unterminated ? "\n" : "") + record;
  if (!writeAllBytes(file.fd, text.data(), text.size()) || ::fsync(file.fd) != 0) {
    const int code = errno;
    // Cut a partly written record back off: the file ends where it ended before.
    if (::ftruncate(file.fd, before) == 0) ::fsync(file.fd);
    error = "The file cannot be written (" + reason(code) + "): " + path;
    return false;
  }
  return true;
}
