#pragma once
// Sends datagrams to one "host:port" from a thread of its own, so that neither the name lookup
// nor the sending ever holds up the caller: send() only queues (a full queue drops the
// datagram), and the first problem (a name that does not resolve, a refused or unreachable
// server) is kept for the caller to say once.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct UdpTarget {
  std::string host;
  std::string port;
};
// "host:port", "[v6-address]:port"; nothing when it is not of that form.
std::optional<UdpTarget> parseUdpTarget(const std::string& text);

class UdpSender {
 public:
  static constexpr size_t kQueueLimit = 64;
  explicit UdpSender(const std::string& hostPort);
  // Lets the thread send what is queued for a short while, then leaves it to finish alone.
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  void send(std::vector<uint8_t> datagram);
  // The first problem in one line, handed out once; nothing otherwise.
  std::optional<std::string> takeProblem();
  const std::string& target() const { return target_; }

  // What the caller and the sending thread share; the thread keeps its own reference.
  struct Shared;

 private:
  std::string target_;
  std::shared_ptr<Shared> shared_;
};
