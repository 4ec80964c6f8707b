#include "rig/keeper_protocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>

namespace {

constexpr size_t kLongestLine = 16384;

std::string hex(const std::string& text) {
  if (text.empty()) return "-";
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> unhex(const std::string& text) {
  if (text == "-") return std::string();
  if (text.size() % 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + i, "%2x", &value) != 1) return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

std::string flag(bool value) { return value ? "1" : "0"; }

std::optional<bool> flagOf(const std::string& word) {
  if (word == "0") return false;
  if (word == "1") return true;
  return std::nullopt;
}

}  // namespace

std::string configOrder(uint64_t generation, const RigConfig& config) {
  return "C " + std::to_string(generation) + " " + std::to_string(config.model) + " " +
         std::to_string(config.speed) + " " + std::to_string(static_cast<int>(config.pttType)) + " " +
         hex(config.port) + " " + hex(config.pttDevice);
}

std::string keyOrder(bool keyed) { return std::string("K ") + flag(keyed); }

std::string pollOrder(uint64_t sequence) { return "P " + std::to_string(sequence); }

std::string reportLine(const KeeperReport& r) {
  // Whole hertz, free of the decimal point that a locale would change.
  const std::string frequency = r.frequencyHz ? std::to_string(std::llround(*r.frequencyHz)) : "-";
  return "S " + std::to_string(r.sequence) + " " + std::to_string(r.generation) + " " +
         flag(r.connected) + " " + frequency + " " +
         (r.transmitting ? flag(*r.transmitting) : std::string("-")) + " " + flag(r.releaseOwed) + " " +
         flag(r.lostWhileKeyed) + " " + hex(r.problem);
}

std::optional<KeeperOrder> parseOrder(const std::string& line) {
  std::istringstream in(line);
  in.imbue(std::locale::classic());
  std::string kind;
  KeeperOrder order;
  if (!(in >> kind >> order.number) || kind.size() != 1) return std::nullopt;
  order.kind = kind[0];
  if (order.kind == 'K' || order.kind == 'P') return order;
  if (order.kind != 'C') return std::nullopt;
  int pttType = 0;
  std::string port, device;
  if (!(in >> order.config.model >> order.config.speed >> pttType >> port >> device)) return std::nullopt;
  if (pttType < 0 || pttType >= kRigPttTypeCount) return std::nullopt;
  order.config.pttType = static_cast<RigPttType>(pttType);
  const auto portText = unhex(port), deviceText = unhex(device);
  if (!portText || !deviceText) return std::nullopt;
  order.config.port = *portText;
  order.config.pttDevice = *deviceText;
  return order;
}

std::optional<KeeperReport> parseReport(const std::string& line) {
  std::istringstream in(line);
  in.imbue(std::locale::classic());
  std::string kind, connected, frequency, ptt, owed, lost, problem;
  KeeperReport r;
  if (!(in >> kind >> r.sequence >> r.generation >> connected >> frequency >> ptt >> owed >> lost >> problem) ||
      kind != "S")
    return std::nullopt;
  const auto c = flagOf(connected), o = flagOf(owed), l = flagOf(lost);
  const auto text = unhex(problem);
  if (!c || !o || !l || !text) return std::nullopt;
  r.connected = *c;
  r.releaseOwed = *o;
  r.lostWhileKeyed = *l;
  r.problem = *text;
  r.transmitting = flagOf(ptt);
  long long hz = 0;
  const auto [end, error] = std::from_chars(frequency.data(), frequency.data() + frequency.size(), hz);
  if (error == std::errc() && end == frequency.data() + frequency.size() && hz > 0)
    r.frequencyHz = static_cast<double>(hz);
  return r;
}

bool LineReader::readFrom(int fd) {
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      buffer_.append(chunk, static_cast<size_t>(n));
      if (buffer_.size() > 4 * kLongestLine && buffer_.find('\n') == std::string::npos) buffer_.clear();
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

std::optional<std::string> LineReader::next() {
  for (;;) {
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (line.size() <= kLongestLine) return line;
  }
}

bool writeLine(int fd, const std::string& line) {
  const std::string data = line + "\n";
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;  // a peer that reads nothing for a second
    } else {
      return false;
    }
  }
  return true;
}
