#pragma once
// Listens for the station's datagrams on 127.0.0.1 and reads them back field by field: the
// WSJT-X messages a logging program receives and the IPFIX reports the reception-report
// service receives (templates first, then the data records read through them).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace net_test {

// A datagram socket on an ephemeral port of 127.0.0.1.
class UdpListener {
 public:
  UdpListener() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
      throw std::runtime_error("cannot bind a UDP listener");
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    port_ = ntohs(a.sin_port);
  }
  ~UdpListener() { close(fd_); }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  // Every datagram that arrives until `quiet` passes without one.
  std::vector<std::vector<uint8_t>> receive(std::chrono::milliseconds quiet) {
    std::vector<std::vector<uint8_t>> out;
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, static_cast<int>(quiet.count())) > 0) {
      std::vector<uint8_t> d(65536);
      const ssize_t n = recv(fd_, d.data(), d.size(), 0);
      if (n < 0) break;
      d.resize(static_cast<size_t>(n));
      out.push_back(std::move(d));
    }
    return out;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Reads big-endian numbers and length-prefixed texts; throws when the datagram ends early.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& d, size_t from = 0, size_t to = SIZE_MAX)
      : d_(d), at_(from), end_(std::min(to, d.size())) {}
  uint64_t number(int bytes) {
    need(static_cast<size_t>(bytes));
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | d_[at_++];
    return v;
  }
  std::string text(size_t n) {
    need(n);
    std::string s(d_.begin() + static_cast<long>(at_), d_.begin() + static_cast<long>(at_ + n));
    at_ += n;
    return s;
  }
  std::string qtText() { return text(number(4)); }
  std::string shortText() { return text(number(1)); }
  size_t at() const { return at_; }
  size_t left() const { return end_ - at_; }

 private:
  void need(size_t n) {
    if (end_ - at_ < n) throw std::runtime_error("datagram ends early");
  }
  const std::vector<uint8_t>& d_;
  size_t at_, end_;
};

struct WsjtxMessage {
  uint32_t magic = 0, schema = 0, type = 0;
  std::string id;
  uint32_t maxSchema = 0;              // heartbeat
  std::string version, revision, adif;  // heartbeat; Logged ADIF
};

inline WsjtxMessage decodeWsjtx(const std::vector<uint8_t>& d) {
  Reader r(d);
  WsjtxMessage m;
  m.magic = static_cast<uint32_t>(r.number(4));
  m.schema = static_cast<uint32_t>(r.number(4));
  m.type = static_cast<uint32_t>(r.number(4));
  m.id = r.qtText();
  if (m.type == 0) {
    m.maxSchema = static_cast<uint32_t>(r.number(4));
    m.version = r.qtText();
    m.revision = r.qtText();
  } else if (m.type == 12) {
    m.adif = r.qtText();
  }
  if (r.left() != 0) throw std::runtime_error("bytes after the message");
  return m;
}

// An IPFIX field by enterprise number (0 for IANA's) and element id.
using FieldKey = std::pair<uint32_t, uint16_t>;
using FieldValue = std::variant<uint64_t, std::string>;
using IpfixRecord = std::map<FieldKey, FieldValue>;

struct IpfixMessage {
  uint16_t version = 0, length = 0;
  uint32_t exportSeconds = 0, sequence = 0, domain = 0;
  struct Field {
    FieldKey key;
    uint16_t length;
  };
  std::map<uint16_t, std::vector<Field>> templates;
  std::map<uint16_t, uint16_t> scopeCounts;       // options templates
  std::map<uint16_t, std::vector<IpfixRecord>> records;  // by template id
};

inline IpfixMessage decodeIpfix(const std::vector<uint8_t>& d) {
  Reader r(d);
  IpfixMessage m;
  m.version = static_cast<uint16_t>(r.number(2));
  m.length = static_cast<uint16_t>(r.number(2));
  m.exportSeconds = static_cast<uint32_t>(r.number(4));
  m.sequence = static_cast<uint32_t>(r.number(4));
  m.domain = static_cast<uint32_t>(r.number(4));
  if (m.length != d.size()) throw std::runtime_error("the length is not the datagram's");
  for (size_t start = r.at(); start < d.size();) {
    Reader head(d, start);
    const auto setId = static_cast<uint16_t>(head.number(2));
    const auto setLength = static_cast<uint16_t>(head.number(2));
    if (setLength < 4 || start + setLength > d.size()) throw std::runtime_error("bad set length");
    Reader s(d, start + 4, start + setLength);
    if (setId == 2 || setId == 3) {
      while (s.left() >= 4u + (setId == 3 ? 2u : 0u)) {
        const auto id = static_cast<uint16_t>(s.number(2));
        const auto count = static_cast<uint16_t>(s.number(2));
        if (id == 0) break;  // padding
        if (setId == 3) m.scopeCounts[id] = static_cast<uint16_t>(s.number(2));
        std::vector<IpfixMessage::Field> fields;
        for (int i = 0; i < count; ++i) {
          const auto element = static_cast<uint16_t>(s.number(2));
          const auto length = static_cast<uint16_t>(s.number(2));
          const uint32_t enterprise = element & 0x8000 ? static_cast<uint32_t>(s.number(4)) : 0;
          fields.push_back({{enterprise, static_cast<uint16_t>(element & 0x7FFF)}, length});
        }
        m.templates[id] = fields;
      }
    } else {
      const auto& fields = m.templates.at(setId);  // templates come before their records here
      while (s.left() > 3) {
        IpfixRecord record;
        for (const auto& f : fields)
          record[f.key] = f.length == 0xFFFF ? FieldValue(s.shortText()) : FieldValue(s.number(f.length));
        m.records[setId].push_back(record);
      }
    }
    start += setLength;
  }
  return m;
}

}  // namespace net_test
