#include "app/dialogs/network_panel.h"

#include "net/reception_report.h"
#include "net/udp_sender.h"

namespace {

std::string trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void NetworkPanel::fill(const Settings& s) {
  autoLogCheck.checked = s.autoLog;
  udpServerEdit.text = s.udpServer;
  reportHeardCheck.checked = s.pskReporter;
  locatorEdit.text = s.locator;
}

std::string NetworkPanel::problem() const {
  const std::string server = trimmed(udpServerEdit.text);
  if (!server.empty() && !parseUdpTarget(server))
    return "The logger's UDP address \"" + server + "\" is not of the form host:port (127.0.0.1:2237).";
  const std::string locator = trimmed(locatorEdit.text);
  if ((!locator.empty() || reportHeardCheck.checked) && !isMaidenheadLocator(locator))
    return "The locator \"" + locator + "\" is not a Maidenhead locator of 4, 6 or 8 characters (JO62 or JO62qm).";
  return {};
}

void NetworkPanel::store(Settings& s) const {
  s.autoLog = autoLogCheck.checked;
  s.udpServer = trimmed(udpServerEdit.text);
  s.pskReporter = reportHeardCheck.checked;
  const std::string locator = trimmed(locatorEdit.text);
  s.locator = isMaidenheadLocator(locator) ? normalLocator(locator) : locator;
}
