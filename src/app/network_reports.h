#pragma once
// What the station tells other programs over the network: every logged contact to a logging
// program as a WSJT-X "Logged ADIF" datagram (with a heartbeat every 15 s while the station
// runs), and the callsigns it hears to the reception-report service. Time is counted in the
// station's input buffers; sending is the UdpSender threads' business, so nothing here waits.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/spot_schedule.h"

class UdpSender;

struct NetworkSettings {
  std::string udpServer;  // empty: no logging program
  bool reportHeard = false;
  std::string reportServer;
  std::string callsign;  // this station's
  std::string locator;
  std::string software;  // program name and version, as the reports name the decoder
  std::string version;   // the program's version, as the heartbeat gives it
};

class NetworkReports {
 public:
  static constexpr int kHeartbeatBuffers = 60;  // 15 s of 0.25 s buffers
  static constexpr int kTemplateDatagrams = 3;   // the first datagrams repeat the templates
  static constexpr double kTemplateSeconds = 3600.0;

  NetworkReports();
  ~NetworkReports();

  // Takes over changed settings; a sender whose target changed starts afresh. A report that
  // cannot be made (no callsign, no valid locator) is said once among the problems.
  void configure(const NetworkSettings& settings);
  // One input buffer passed: the heartbeat and the reception reports when due.
  void bufferPassed(uint32_t utcSeconds);
  void contactLogged(const std::string& adifText);
  // A callsign was heard; kept for the next report when reporting is on.
  void stationHeard(HeardStation station);
  // The station closes: what is waiting is reported now.
  void close(uint32_t utcSeconds);
  // Problems to say in the message log, each once.
  std::vector<std::string> takeProblems();

  double secondsRunning() const { return buffers_ * 0.25; }

 private:
  void sendReports(uint32_t utcSeconds);
  bool reporting() const { return settings_.reportHeard && spotSender_ && reportProblem_.empty(); }

  NetworkSettings settings_;
  std::unique_ptr<UdpSender> loggerSender_;
  std::unique_ptr<UdpSender> spotSender_;
  std::string reportProblem_;  // why reports cannot be made; empty when they can
  std::vector<std::string> problems_;
  SpotSchedule schedule_;
  int64_t buffers_ = 0;
  uint32_t reportSequence_ = 0;
  uint32_t observationDomain_;
  int reportDatagrams_ = 0;
  double templatesSentAt_ = -1e9;
};
