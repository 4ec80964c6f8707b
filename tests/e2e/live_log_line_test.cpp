// The log line of a contact on the air: with rig control on it names the rig's band, and an
// empty fixed S/N gives way to the signal-to-noise ratio the receiver measured on the picture.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "e2e/station_link.h"
#include "support/temp_folder.h"
#include "rig/rig_control.h"

namespace {

using namespace std::chrono_literals;

// The S/N and band fields of a log line "callsign,date,time,S/N,mode,band".
std::pair<std::string, std::string> signalAndBand(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
    fields.push_back(line.substr(start, comma - start));
  fields.push_back(line.substr(start));
  EXPECT_EQ(fields.size(), 6u) << line;
  return fields.size() == 6 ? std::pair{fields[3], fields[5]} : std::pair{std::string(), std::string()};
}

}  // namespace

TEST(LiveLogLine, TakesTheRigsBandAndTheMeasuredSignalToNoiseRatio) {
  ChannelModel channel;
  channel.snrDb = 12;
  StationLink link(channel, 3);
  MainWindow& b = *link.b;
  link.platformB.now = {2026, 12, 8, 14, 30, 0};
  TempFolder data;
  b.dataFolder = data.path().string();

  link.sendClipboardPicture(15);
  link.runTransmission();
  ASSERT_EQ(b.pictureTabs.index, 1);  // the reception is on the RX tab
  // The receiver measures its tones against the noise at the symbol instants, which reads about
  // 2 dB below the channel's figure for the whole transmission.
  ASSERT_TRUE(b.receivedPictureSnrDb());
  const double measured = *b.receivedPictureSnrDb();
  EXPECT_NEAR(measured, 10.0, 1.5);

  // Rig control off: the fixed values of the settings, as always.
  b.logOutClicked();
  const auto [fixedSnr, fixedBand] = signalAndBand(link.platformB.clipboardTextValue);
  EXPECT_EQ(fixedSnr, "15dB");
  EXPECT_EQ(fixedBand, "40");

  // Rig control on (the simulated rig stands on 145 MHz) and no fixed S/N.
  b.settings.rigModel = kDummyRigModel;
  b.settings.logReport = "";
  b.applyRigSettings();
  ASSERT_TRUE(b.rig().waitForWorker(5s));
  b.logOutClicked();
  const auto [snr, band] = signalAndBand(link.platformB.clipboardTextValue);
  EXPECT_EQ(band, "2m");
  ASSERT_GE(snr.size(), 3u);
  EXPECT_EQ(snr.substr(snr.size() - 2), "dB");
  EXPECT_EQ(snr, std::to_string(std::lround(measured)) + "dB");
  // The contact log holds the reception once: the second press for it adds no record.
  std::ifstream adif(b.contactLogPath());
  const std::string records((std::istreambuf_iterator<char>(adif)), std::istreambuf_iterator<char>());
  EXPECT_EQ(records.find("<CALL:"), records.rfind("<CALL:")) << records;
  EXPECT_NE(records.find("<BAND:3>40m"), std::string::npos) << records;
  EXPECT_TRUE(link.platformB.messages.empty());
}
