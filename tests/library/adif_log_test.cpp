// The ADIF contact log: the record's fields and lengths, the band from a setting or a rig
// frequency, a callsign from the air that cannot add fields, the header written once, and a
// file that is not a contact log left untouched.
#include "library/adif_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/file_text.h"
#include "support/temp_folder.h"

namespace {

ContactRecord contact() {
  ContactRecord c;
  c.callsign = "QA1BCD";
  c.utc = {2024, 3, 15, 0, 42, 7};
  c.band = "40";
  c.modeText = "4L-FSK/CONV";
  c.signalReport = "15dB";
  return c;
}

TEST(AdifLog, RecordCarriesTheContactInAdifFields) {
  ContactRecord c = contact();
  c.snrDb = 13.6;
  EXPECT_EQ(adifRecord(c),
            "<CALL:6>QA1BCD <QSO_DATE:8>20240315 <TIME_ON:6>004207 <BAND:3>40m <MODE:4>MFSK "
            "<RST_SENT:4>15dB <COMMENT:49>Pelimo 4L-FSK/CONV, measured SNR 14 dB in 2500 Hz <EOR>\n");

  // With a rig the frequency decides the band; the setting is not used.
  c.frequencyHz = 14'070'500;
  c.snrDb.reset();
  c.signalReport.clear();
  EXPECT_EQ(adifRecord(c),
            "<CALL:6>QA1BCD <QSO_DATE:8>20240315 <TIME_ON:6>004207 <BAND:3>20m "
            "<FREQ:9>14.070500 <MODE:4>MFSK <COMMENT:18>Pelimo 4L-FSK/CONV <EOR>\n");

  EXPECT_EQ(adifBand("40m", std::nullopt), "40m");
  EXPECT_EQ(adifBand("70CM", std::nullopt), "70cm");
  EXPECT_EQ(adifBand("2", std::nullopt), "2m");
  EXPECT_EQ(adifBand("7.040", std::nullopt), "40m");
  EXPECT_EQ(adifBand("144.5MHz", std::nullopt), "2m");
  EXPECT_EQ(adifBand("11", std::nullopt), "");
  EXPECT_EQ(adifBand("forty", std::nullopt), "");
  EXPECT_EQ(adifBand("", 3'600'000.0), "80m");
  EXPECT_EQ(adifBand("40", 27'000'000.0), "");
}

TEST(AdifLog, TextFromTheAirOrTheSettingsCannotAddFields) {
  ContactRecord c = contact();
  c.callsign = "qa1<EOR>bcd/p\r\n<CALL:4>EVIL";
  c.modeText = "X <EOR> <CALL:3>BAD";
  c.signalReport = "5<9>";
  const std::string record = adifRecord(c);
  EXPECT_TRUE(record.starts_with("<CALL:20>QA1EORBCD/PCALL4EVIL ")) << record;
  EXPECT_EQ(record.find("<EOR>"), record.size() - 6) << record;
  size_t fields = 0;
  for (char ch : record) fields += ch == '<';
  EXPECT_EQ(fields, 8u) << record;  // CALL, QSO_DATE, TIME_ON, BAND, MODE, RST_SENT, COMMENT, EOR
  EXPECT_EQ(logCallsign("<>\r\n"), "");
}

TEST(AdifLog, AppendsUnderOneHeaderAndLeavesOtherFilesAlone) {
  TempFolder folder;
  const std::string path = folder.file(kContactLogFileName);
  const std::string header = adifHeader({2024, 3, 15, 0, 40, 0}, "0.1");
  EXPECT_EQ(header,
            "Contact log of Pelimo\n<ADIF_VER:5>3.1.4 <PROGRAMID:6>Pelimo <PROGRAMVERSION:3>0.1 "
            "<CREATED_TIMESTAMP:15>20240315 004000 <EOH>\n");
  std::string error;
  ASSERT_TRUE(appendContact(path, contact(), header, error)) << error;
  ContactRecord second = contact();
  second.callsign = "DL2XYZ";
  ASSERT_TRUE(appendContact(path, second, header, error)) << error;
  EXPECT_EQ(fileText(path), header + adifRecord(contact()) + adifRecord(second));

  // A file without a header but with records is ADIF too; anything else is refused untouched.
  const std::string bare = folder.file("bare.adi");
  std::ofstream(bare) << "<CALL:3>A1B <EOR>\n";
  EXPECT_TRUE(appendContact(bare, contact(), header, error)) << error;
  const std::string notes = folder.file("notes.adi");
  std::ofstream(notes) << "my notes\n";
  EXPECT_FALSE(appendContact(notes, contact(), header, error));
  EXPECT_EQ(error, "The file is not an ADIF contact log; nothing was added to it: " + notes);
  EXPECT_EQ(fileText(notes), "my notes\n");

  ContactRecord nameless = contact();
  nameless.callsign = "--";
  EXPECT_FALSE(appendContact(path, nameless, header, error));
  EXPECT_EQ(fileText(path), header + adifRecord(contact()) + adifRecord(second));
}

}  // namespace
