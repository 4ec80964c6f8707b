#include "app/network_reports.h"

#include <random>
#include <utility>

#include "net/udp_sender.h"
#include "net/wsjtx_messages.h"

namespace {

// Starts, keeps or stops a sender so that it sends to `target` (none when empty).
void retarget(std::unique_ptr<UdpSender>& sender, const std::string& target) {
  if (sender && sender->target() == target) return;
  sender.reset();
  if (!target.empty()) sender = std::make_unique<UdpSender>(target);
}

}  // namespace

NetworkReports::NetworkReports() : observationDomain_(std::random_device{}()) {}

NetworkReports::~NetworkReports() = default;

void NetworkReports::configure(const NetworkSettings& s) {
  const bool loggerChanged = s.udpServer != settings_.udpServer || !loggerSender_;
  settings_ = s;
  retarget(loggerSender_, s.udpServer);
  if (loggerSender_ && loggerChanged)
    loggerSender_->send(wsjtxHeartbeat(kWsjtxClientId, s.version, ""));
  retarget(spotSender_, s.reportHeard ? s.reportServer : std::string());
  std::string problem;
  if (s.reportHeard && s.callsign.empty())
    problem = "Reception reports are off: the station has no callsign";
  else if (s.reportHeard && !isMaidenheadLocator(s.locator))
    problem = "Reception reports are off: [Log] Locator \"" + s.locator + "\" is not a Maidenhead locator";
  if (!problem.empty() && problem != reportProblem_) problems_.push_back(problem);
  reportProblem_ = problem;
}

void NetworkReports::bufferPassed(uint32_t utcSeconds) {
  ++buffers_;
  if (loggerSender_ && buffers_ % kHeartbeatBuffers == 0)
    loggerSender_->send(wsjtxHeartbeat(kWsjtxClientId, settings_.version, ""));
  if (reporting() && schedule_.due(secondsRunning())) sendReports(utcSeconds);
}

void NetworkReports::contactLogged(const std::string& adifText) {
  if (loggerSender_) loggerSender_->send(wsjtxLoggedAdif(kWsjtxClientId, adifText));
}

void NetworkReports::stationHeard(HeardStation station) {
  if (reporting()) schedule_.add(station, secondsRunning());
}

void NetworkReports::close(uint32_t utcSeconds) {
  while (reporting() && !schedule_.empty()) sendReports(utcSeconds);
}

void NetworkReports::sendReports(uint32_t utcSeconds) {
  const std::vector<HeardStation> heard = schedule_.take(secondsRunning());
  const bool templates = reportDatagrams_ < kTemplateDatagrams ||
                         secondsRunning() - templatesSentAt_ >= kTemplateSeconds;
  if (templates) templatesSentAt_ = secondsRunning();
  ReportMessage message{utcSeconds, reportSequence_, observationDomain_, templates,
                        {settings_.callsign, normalLocator(settings_.locator), settings_.software},
                        heard};
  spotSender_->send(encodeReceptionReport(message));
  // The sequence counts every data record sent before, the receiver's record included.
  reportSequence_ += static_cast<uint32_t>(heard.size() + 1);
  ++reportDatagrams_;
}

std::vector<std::string> NetworkReports::takeProblems() {
  for (UdpSender* sender : {loggerSender_.get(), spotSender_.get()})
    if (sender)
      if (std::optional<std::string> p = sender->takeProblem()) problems_.push_back(*p);
  return std::exchange(problems_, {});
}
