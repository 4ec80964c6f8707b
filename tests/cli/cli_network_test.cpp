// A picture received by the whole station (receive --home) with AutoLog, a logging program's
// UDP port and reception reports on: the picture is stored, the contact is in the ADIF log,
// and the two listeners get datagrams that read back field by field.
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "cli_test_support.h"
#include "core/program_version.h"
#include "library/picture_record.h"
#include "support/network_datagrams.h"

namespace {

using namespace cli_test;
using namespace net_test;

constexpr uint32_t kReports = 30351;

// The value of one ADIF field ("<CALL:6>QA1/BC") read by its length.
std::string adifField(const std::string& adif, const std::string& name) {
  const size_t tag = adif.find("<" + name + ":");
  if (tag == std::string::npos) return {};
  const size_t close = adif.find('>', tag);
  const size_t length = std::stoul(adif.substr(tag + name.size() + 2, close - tag - name.size() - 2));
  return adif.substr(close + 1, length);
}

std::string text(const IpfixRecord& r, uint16_t id) { return std::get<std::string>(r.at({kReports, id})); }

TEST(CliNetwork, AnAutoLoggedPictureReachesTheLogTheLoggerAndTheReportService) {
  TempDir dir;
  const std::string home = dir.file("home");
  fs::create_directories(home);
  UdpListener logger, reports;
  std::ofstream(home + "/pelimo.ini") << "[Set]\nCallsign=QB2XYZ\n[Log]\nAutoLog=1\nUdpServer="
                                      << logger.address() << "\nPskReporter=1\nLocator=jo62QM\n"
                                      << "PskReporterServer=" << reports.address() << "\n";
  ASSERT_EQ(runCli({"send", "--callsign", "QA1/BC", "--scale", "2.00", "--image", kSample, "-o",
                    dir.file("picture.wav")}).status, 0);
  const auto started = static_cast<uint32_t>(std::time(nullptr));

  const CliRun run = runCli({"receive", dir.file("picture.wav"), "--home", home});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("picture from QA1/BC: 300 blocks good"), std::string::npos) << run.out;
  // The picture, its record beside it and AutoSave/latest.jpg, a copy of it.
  std::vector<fs::path> pictures;
  for (const auto& e : fs::directory_iterator(home + "/AutoSave"))
    if (e.path().extension() == ".jpg" && e.path().filename() != "latest.jpg") pictures.push_back(e.path());
  ASSERT_EQ(pictures.size(), 1u);
  const std::optional<PictureRecord> record =
      readPictureRecord(fs::path(pictures[0]).replace_extension(".json").string());
  ASSERT_TRUE(record);
  EXPECT_EQ(record->callsign, "QA1/BC");
  EXPECT_EQ(record->blocks, 300);
  EXPECT_EQ(readText(home + "/AutoSave/latest.jpg"), readText(pictures[0].string()));

  // AutoLog logged it as "Log out" does: one ADIF record and its message-log line, no press.
  const std::string adi = readText(home + "/pelimo.adi");
  EXPECT_EQ(adifField(adi, "CALL"), "QA1/BC") << adi;
  EXPECT_NE(readText(home + "/messages.log").find("Contact with QA1/BC added to"), std::string::npos);

  // The logging program: a heartbeat when the station starts (and every 15 s of sound), and
  // the contact as "Logged ADIF" with the file's header and the same record.
  int heartbeats = 0, logged = 0;
  for (const auto& d : logger.receive(std::chrono::milliseconds(1500))) {
    const WsjtxMessage m = decodeWsjtx(d);
    EXPECT_EQ(m.magic, 0xADBCCBDAu);
    EXPECT_EQ(m.schema, 2u);
    EXPECT_EQ(m.id, "Pelimo");
    if (m.type == 0) {
      ++heartbeats;
      EXPECT_EQ(m.maxSchema, 3u);
      EXPECT_EQ(m.version, kProgramVersion);
    } else {
      ASSERT_EQ(m.type, 12u);
      ++logged;
      EXPECT_NE(m.adif.find("<EOH>"), std::string::npos) << m.adif;
      EXPECT_EQ(adifField(m.adif, "CALL"), "QA1/BC");
      EXPECT_EQ(adifField(m.adif, "QSO_DATE"), adifField(adi, "QSO_DATE"));
      EXPECT_EQ(adifField(m.adif, "TIME_ON"), adifField(adi, "TIME_ON"));
    }
  }
  EXPECT_GE(heartbeats, 1);
  EXPECT_EQ(logged, 1);

  // The report service: one datagram at the close, templates first, then our receiver record
  // and the heard callsign once, though the picture repeats it.
  const auto datagrams = reports.receive(std::chrono::milliseconds(1500));
  ASSERT_EQ(datagrams.size(), 1u);
  IpfixMessage m = decodeIpfix(datagrams[0]);
  EXPECT_EQ(m.version, 10);
  EXPECT_GE(m.exportSeconds, started);
  EXPECT_EQ(m.sequence, 0u);
  ASSERT_EQ(m.records[0x9992].size(), 1u);
  EXPECT_EQ(m.scopeCounts.at(0x9992), 1);
  const IpfixRecord& receiver = m.records[0x9992][0];
  EXPECT_EQ(text(receiver, 2), "QB2XYZ");
  EXPECT_EQ(text(receiver, 4), "JO62qm");
  EXPECT_EQ(text(receiver, 8), std::string("Pelimo ") + kProgramVersion);
  std::vector<IpfixRecord> heard;
  for (const auto& [id, records] : m.records)
    if (id != 0x9992) heard.insert(heard.end(), records.begin(), records.end());
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(text(heard[0], 1), "QA1/BC");
  EXPECT_EQ(text(heard[0], 10), "MSK");
  EXPECT_FALSE(heard[0].contains({kReports, 5}));  // no rig: no frequency
  ASSERT_TRUE(heard[0].contains({kReports, 6}));  // the measured SNR of a clean recording
  EXPECT_GT(static_cast<int8_t>(std::get<uint64_t>(heard[0].at({kReports, 6}))), 20);
  EXPECT_GE(std::get<uint64_t>(heard[0].at({0, 150})), started);
}

}  // namespace
