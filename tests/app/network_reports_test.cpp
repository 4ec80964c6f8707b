// The station's network reports over time counted in sound buffers: heartbeats every 15 s,
// each heard callsign once in five minutes, report datagrams at most every five minutes and at
// the close, and a logging program that is not there said once.
#include <gtest/gtest.h>

#include <thread>

#include "app/network_reports.h"
#include "support/network_datagrams.h"

namespace {

using namespace net_test;
using namespace std::chrono_literals;

HeardStation heard(const std::string& call) { return {call, std::nullopt, -3, "MSK", 1000}; }

std::vector<std::string> senders(const IpfixMessage& m) {
  std::vector<std::string> out;
  for (const auto& [id, records] : m.records)
    if (id != 0x9992)
      for (const IpfixRecord& r : records) out.push_back(std::get<std::string>(r.at({30351, 1})));
  return out;
}

TEST(NetworkReports, HeartbeatsAndReportsFollowTheBufferClockAndTheFiveMinuteRules) {
  UdpListener logger, service;
  NetworkReports reports;
  reports.configure({logger.address(), true, service.address(), "QB2XYZ", "JO62qm", "Pelimo 0.1", "0.1"});
  reports.stationHeard(heard("QA1A"));
  for (int i = 0; i < 40; ++i) reports.bufferPassed(2000);  // 10 s
  reports.stationHeard(heard("QA1A"));  // heard again within five minutes: not kept again
  reports.stationHeard(heard("QA2B"));
  for (int i = 40; i < 1199; ++i) reports.bufferPassed(2000);
  EXPECT_TRUE(service.receive(300ms).empty());  // not before five minutes
  reports.bufferPassed(2000);                     // 300 s
  auto first = service.receive(500ms);
  ASSERT_EQ(first.size(), 1u);
  const IpfixMessage m1 = decodeIpfix(first[0]);
  EXPECT_EQ(senders(m1), (std::vector<std::string>{"QA1A", "QA2B"}));
  EXPECT_EQ(m1.exportSeconds, 2000u);

  for (int i = 0; i < 8; ++i) reports.bufferPassed(2000);  // 302 s: five minutes since QA1A
  reports.stationHeard(heard("QA1A"));
  reports.stationHeard(heard("QA2B"));  // 292 s since it was kept: not again
  reports.close(3000);
  auto last = service.receive(500ms);
  ASSERT_EQ(last.size(), 1u);
  const IpfixMessage m2 = decodeIpfix(last[0]);
  EXPECT_EQ(senders(m2), std::vector<std::string>{"QA1A"});
  EXPECT_EQ(m2.sequence, 3u);  // two heard stations and the receiver record before it
  EXPECT_EQ(m2.domain, m1.domain);
  EXPECT_FALSE(m2.templates.empty());  // the first three datagrams repeat the templates

  // One heartbeat at the start and one every 60 buffers: 1208 buffers.
  int heartbeats = 0;
  for (const auto& d : logger.receive(300ms)) heartbeats += decodeWsjtx(d).type == 0;
  EXPECT_EQ(heartbeats, 1 + 1208 / 60);
  EXPECT_TRUE(reports.takeProblems().empty());
}

TEST(NetworkReports, NothingIsReportedWithoutAValidLocatorAndAMissingLoggerIsSaidOnce) {
  UdpListener service;
  std::string closedPort;
  {
    UdpListener gone;
    closedPort = gone.address();
  }
  NetworkReports reports;
  reports.configure({closedPort, true, service.address(), "QB2XYZ", "JO6", "Pelimo 0.1", "0.1"});
  std::vector<std::string> problems = reports.takeProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("Locator"), std::string::npos);
  reports.stationHeard(heard("QA1A"));
  reports.close(3000);
  EXPECT_TRUE(service.receive(300ms).empty());

  // Datagrams to a port where nothing listens are refused; that is said once, however many go.
  int said = 0;
  for (int i = 0; i < 20; ++i) {
    reports.contactLogged("<EOH>\n<CALL:4>QA1A <EOR>\n");
    std::this_thread::sleep_for(50ms);
    for (const std::string& p : reports.takeProblems()) {
      ++said;
      EXPECT_NE(p.find(closedPort), std::string::npos) << p;
    }
  }
  EXPECT_EQ(said, 1);
}

}  // namespace
