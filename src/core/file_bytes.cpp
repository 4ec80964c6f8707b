#include "core/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

std::string systemReason(int code) { return std::strerror(code); }

void setError(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

// Closes the descriptor on every way out.
struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

std::string temporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

}  // namespace

bool writeAllBytes(int fd, const void* bytes, size_t size) {
  const auto* data = static_cast<const uint8_t*>(bytes);
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool statRegularFile(int fd, const std::string& path, struct stat& info, std::string& error) {
  if (::fstat(fd, &info) != 0) {
    error = "The file cannot be read (" + systemReason(errno) + "): " + path;
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "This is not a file: " + path;
    return false;
  }
  return true;
}

bool readFileBytes(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error) {
  bytes.clear();
  if (path.empty()) {
    error = "No file name was given";
    return false;
  }
  FileDescriptor file;
  do {
    // Non-blocking so that a named pipe cannot hang the open; such paths are refused below.
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) {
    int code = errno;
    if (code == ENOENT || code == ENOTDIR)
      error = "The file does not exist: " + path;
    else
      error = "The file cannot be opened (" + systemReason(code) + "): " + path;
    return false;
  }
  struct stat info {};
  if (!statRegularFile(file.fd, path, info, error)) return false;
  if (info.st_size == 0) {
    error = "The file is empty: " + path;
    return false;
  }
  auto tooLarge = [&] {
    error = "The file is too large for a picture (the limit is " +
            std::to_string(maxBytes / (1024 * 1024)) + " MB): " + path;
    return false;
  };
  if (static_cast<uint64_t>(info.st_size) > maxBytes) return tooLarge();

  // Read to the end rather than trusting the size, in case the file changes meanwhile.
  try {
    bytes.resize(static_cast<size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    error = "There is not enough memory to read the file: " + path;
    return false;
  }
  size_t used = 0;
  uint8_t spill[4096];
  for (;;) {
    const bool full = used == bytes.size();
    uint8_t* target = full ? spill : bytes.data() + used;
    ssize_t n = ::read(file.fd, target, full ? sizeof spill : bytes.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      int code = errno;
      bytes.clear();
      error = "The file cannot be read (" + systemReason(code) + "): " + path;
      return false;
    }
    if (n == 0) break;
    if (full) {  // the file has grown since it was measured
      if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
        bytes.clear();
        return tooLarge();
      }
      bytes.insert(bytes.end(), spill, spill + n);
    }
    used += static_cast<size_t>(n);
  }
  bytes.resize(used);
  if (used > maxBytes) {
    bytes.clear();
    return tooLarge();
  }
  if (used == 0) {
    error = "The file is empty: " + path;
    return false;
  }
  return true;
}

bool writeFileReplacing(const std::string& path, const uint8_t* data, size_t size,
                        std::string* error) {
  if (path.empty()) {
    setError(error, "No file name was given");
    return false;
  }
  const auto fail = [&](int code, const std::string& temporary) {
    if (!temporary.empty()) ::unlink(temporary.c_str());
    setError(error, "The file cannot be saved (" + systemReason(code) + "): " + path);
    return false;
  };
  std::string temporary;
  FileDescriptor file;
  for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
    temporary = temporaryName(path);
    file.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (file.fd < 0) return fail(errno, "");
  // The data reaches the disk before the rename makes it the file, so a crash leaves either
  // the old file or the whole new one.
  if (!writeAllBytes(file.fd, data, size) || ::fsync(file.fd) != 0) return fail(errno, temporary);
  const int closed = ::close(file.fd);
  file.fd = -1;
  if (closed != 0) return fail(errno, temporary);
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(errno, temporary);

  // Make the rename itself durable; failing here does not undo a completed save.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}
