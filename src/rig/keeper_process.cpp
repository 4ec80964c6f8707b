#include "rig/keeper_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kKeeperName = "pelimo-rig-keeper";
// The keeper reads its orders on this descriptor.
constexpr int kKeeperFd = 3;

bool isExecutable(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const std::string p = path.lexically_normal().string(), f = folder.lexically_normal().string();
  return !f.empty() && p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}

}  // namespace

std::string rigKeeperPath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  const std::filesystem::path folder = self.parent_path();
#ifndef PELIMO_KEEPER_FROM_BIN
#define PELIMO_KEEPER_FROM_BIN "../libexec/pelimo"
#endif
  for (const std::filesystem::path& candidate :
       {folder / kKeeperName, (folder / PELIMO_KEEPER_FROM_BIN / kKeeperName).lexically_normal()})
    if (isExecutable(candidate)) return candidate.string();
#if defined(PELIMO_BUILD_DIR) && defined(PELIMO_BUILD_KEEPER)
  if (isInside(self, PELIMO_BUILD_DIR) && isExecutable(PELIMO_BUILD_KEEPER)) return PELIMO_BUILD_KEEPER;
#endif
  return {};
}

KeeperProcess startRigKeeper(std::string& error) {
  const std::string path = rigKeeperPath();
  if (path.empty()) {
    error = std::string("The rig keeper (") + kKeeperName + ") is not installed beside this program";
    return {};
  }
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    error = std::string("The rig keeper could not be started: ") + std::strerror(errno);
    return {};
  }
  int childEnd = ends[1];
  if (childEnd == kKeeperFd) {  // dup2 onto itself would keep close-on-exec
    childEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, 10);
    close(ends[1]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childEnd, kKeeperFd);
  // Nothing of the station's standard streams is held: a pipe reading the station's output
  // ends when the station does.
  for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const std::string fdText = std::to_string(kKeeperFd), stationText = std::to_string(getpid());
  char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(fdText.c_str()),
                  const_cast<char*>(stationText.c_str()), nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(childEnd);
  if (failed != 0) {
    close(ends[0]);
    error = "The rig keeper " + path + " could not be started: " + std::strerror(failed);
    return {};
  }
  return {pid, ends[0]};
}

bool awaitRigKeeper(pid_t pid, std::chrono::milliseconds timeout) {
  if (pid <= 0) return true;
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const pid_t done = waitpid(pid, nullptr, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
