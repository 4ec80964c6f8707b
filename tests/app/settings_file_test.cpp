#include "app/settings_file.h"
#include "app/settings_ranges.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// A fresh folder per test, removed afterwards.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pelimo-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    // Folders a test made read-only must become writable again to be removed.
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (const auto& e : fs::recursive_directory_iterator(dir_, ec)) {
      if (e.is_directory(ec)) {
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
      }
    }
    fs::remove_all(dir_, ec);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static void writeText(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
  }
  static std::string readText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<std::string> folderEntries(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
  }

  fs::path dir_;
};

const char kDefaultFile[] =
    "[Form]\n"
    "MainTop=0\n"
    "MainLeft=0\n"
    "\n"
    "[Wave]\n"
    "Input=0\n"
    "Output=0\n"
    "InputName=\n"
    "OutputName=\n"
    "Receiver=2\n"
    "\n"
    "[IO]\n"
    "PortNum=0\n"
    "PortStr=\n"
    "\n"
    "[Set]\n"
    "ImageQ=10\n"
    "Encode=0\n"
    "Mod=0\n"
    "InGainPos=0\n"
    "OutGainPos=10\n"
    "AutoSave=1\n"
    "ImageFile=\n"
    "Callsign=\n"
    "SubDisp=1\n"
    "FileLoadNo=0\n"
    "TimeOut=15\n"
    "NoErrDecode=0\n"
    "ScanDir=2\n"
    "ImgEditName=Image_Processor\n"
    "ColorType=1\n"
    "WaveLoop=0\n"
    "NumEtxData=10\n"
    "OverWrite=1\n"
    "SaveMin=1\n"
    "SaveMinPass=50\n"
    "DelImgBSR=1\n"
    "AutoDelete=0\n"
    "DeleteDay=120\n"
    "NumCallSend=5\n"
    "LogMode=\n"
    "LogSN=15dB\n"
    "LogBand=40\n"
    "ShowClock=0\n"
    "\n"
    "[Recent]\n"
    "Picture1=\n"
    "Picture2=\n"
    "Picture3=\n"
    "Picture4=\n"
    "Picture5=\n"
    "\n"
    "[Rig]\n"
    "PttMethod=0\n"
    "RigModel=0\n"
    "RigPort=\n"
    "RigSpeed=0\n"
    "PttType=0\n"
    "PttDevice=\n"
    "\n"
    "[Log]\n"
    "AutoLog=0\n"
    "UdpServer=\n"
    "PskReporter=0\n"
    "Locator=\n"
    "PskReporterServer=report.pskreporter.info:4739\n"
    "\n"
    "[Auto]\n"
    "AutoBsr=0\n"
    "AutoBsrRounds=3\n"
    "AutoBsrTimeout=30\n"
    "ChannelHold=2\n"
    "CwId=0\n"
    "CwWpm=20\n"
    "CwToneHz=1500\n"
    "TxTimeLimit=15\n";

// Every field differs from its default.
Settings nonDefaultSettings() {
  Settings s;
  s.mainTop = -120;
  s.mainLeft = 1919;
  s.outputDevice = 2;
  s.receiverKind = 1;
  s.outputDevice = 2;
  s.inputDeviceName = "pulse";
  s.outputDeviceName = "USB Audio CODEC: - (hw:1,0)";
  s.portNumber = 4;
  s.portPath = "/dev/ttyUSB0";
  s.scaleIndex = 15;
  s.codeIndex = 1;
  s.modeIndex = 1;
  s.inGainPos = -40;
  s.outGainPos = 80;
  s.autoSave = false;
  s.imageFile = "/home/x/Bilder/Sende Bild; #1 = \"neu\".jpg";
  s.callsign = "DL1ABC/p";
  s.showWaterfall = false;
  s.browseIndex = 42;
  s.timeoutSeconds = 300;
  s.errorFreeOnly = true;
  s.scanDirection = 0;
  s.imageEditorName = "  Logger [x] \\ ";
  s.waterfallColours = 3;
  s.waveLoop = true;
  s.endFrameRepeat = 30;
  s.overwriteBsrBlocks = false;
  s.saveMinimum = false;
  s.saveMinimumBlocks = 1;
  s.deleteOnBsrOverwrite = false;
  s.autoDelete = true;
  s.deleteAfterDays = 365;
  s.callsignRepeat = 12;
  s.logMode = "SSTV\tFSK";
  s.logReport = "-3 dB\nline two";
  s.logBand = "Grüße 20m 日本";
  s.showClock = true;
  s.recentPicture1 = "/home/x/Bilder/Fuchs im Schnee.PNG";
  s.recentPicture2 = "/tmp/a=b;c.jpeg";
  s.recentPicture3 = " leading blank.jfif";
  s.recentPicture4 = "/p/4.bmp";
  s.recentPicture5 = "/p/5.jpg";
  s.pttMethod = 1;
  s.rigModel = 3073;
  s.rigPort = "localhost:4532";
  s.rigSpeed = 19200;
  s.pttType = 3;
  s.pttDevice = "/dev/hidraw0";
  s.autoLog = true;
  s.udpServer = "127.0.0.1:2237";
  s.pskReporter = true;
  s.locator = "JO62qm";
  s.pskReporterServer = "127.0.0.1:4739";
  s.autoBsr = true;
  s.autoBsrRounds = 5;
  s.autoBsrTimeout = 60;
  s.channelHold = 4;
  s.cwId = true;
  s.cwWpm = 25;
  s.cwToneHz = 1000;
  s.txTimeLimit = 0;
  return s;
}

Settings parseSetLine(const std::string& line) { return parseSettings("[Set]\n" + line + "\n"); }

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndSaveWritesCompleteFile) {
  Settings s = loadSettings(path("pelimo.ini"));
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(s.scaleIndex, 10);
  EXPECT_EQ(s.modeIndex, 0);
  EXPECT_EQ(s.codeIndex, 0);
  EXPECT_EQ(s.outGainPos, 10);
  EXPECT_EQ(s.callsign, "");

  EXPECT_EQ(loadSettings(path("no/such/folder/pelimo.ini")), Settings{});
  EXPECT_EQ(loadSettings(dir_.string()), Settings{});  // a folder, not a file
  EXPECT_EQ(loadSettings(""), Settings{});

  std::string error;
  ASSERT_TRUE(saveSettings(path("pelimo.ini"), s, &error)) << error;
  EXPECT_EQ(readText(path("pelimo.ini")), kDefaultFile);
  EXPECT_EQ(formatSettings(Settings{}), kDefaultFile);
  EXPECT_EQ(parseSettings(kDefaultFile), Settings{});
}

TEST_F(SettingsFileTest, EveryKeyRoundTripsThroughTheFile) {
  const Settings s = nonDefaultSettings();
  std::string error;
  ASSERT_TRUE(saveSettings(path("pelimo.ini"), s, &error)) << error;
  EXPECT_EQ(loadSettings(path("pelimo.ini")), s);

  // Still one line per key: nothing in a text broke a line.
  std::string text = readText(path("pelimo.ini"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 61 + 8 + 7);
  EXPECT_NE(text.find("\n[Rig]\nPttMethod=1\nRigModel=3073\nRigPort=localhost:4532\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nCallsign=DL1ABC/p\n"), std::string::npos);
  EXPECT_NE(text.find("\nPortStr=/dev/ttyUSB0\n"), std::string::npos);
  EXPECT_NE(text.find("\nNumCallSend=12\n"), std::string::npos);
  EXPECT_NE(text.find("\nWaveLoop=1\n"), std::string::npos);
}

TEST(IniText, OrdinaryTextsAreWrittenAsTheyAre) {
  for (const std::string text :
       {"", "DL1ABC", "15dB", "/home/x/TxImage.bmp", "a=b=c", "[Set]", "]", "C:\\x\\TxImage.bmp",
        "it's", "mid\"quote", "Grüße 日本", "two  words", "\\n"}) {
    EXPECT_EQ(encodeIniText(text), text);
    EXPECT_EQ(decodeIniText(text), text);
  }
}

TEST(IniText, OnlyUnusualTextsAreQuoted) {
  EXPECT_EQ(encodeIniText(" lead"), "\" lead\"");
  EXPECT_EQ(encodeIniText("x;y"), "\"x;y\"");
  EXPECT_EQ(encodeIniText("#1"), "\"#1\"");
  EXPECT_EQ(encodeIniText("\"q\" \\"), "\"\\\"q\\\" \\\\\"");
  EXPECT_EQ(encodeIniText("a\nb\r\tc\x01\x7f"), "\"a\\nb\\r\\tc\\x01\\x7F\"");
}

TEST(IniText, SpecialTextsRoundTripInEveryTextKey) {
  const std::vector<std::string> texts = {
      "", "=", "==x==", ";", "; comment-like", "#", "a#b", "x;y", "[", "]", "[Form]",
      " lead", "trail ", " ", "\t", " both\t", "\"", "\"\"", "\"quoted\"", "\"open", "close\"",
      "\\", "back\\slash", "ends\\", "\\\"", "\\x41", "\\n", "line1\nline2", "\r\n", "\r",
      "\n[Set]\nCallsign=evil", std::string("a\0b", 3), std::string(1, '\0'), "\x01\x1f\x7f",
      "Grüße 日本", "\xEF\xBB\xBF" "bom", "\xff\xfe invalid utf-8", std::string(5000, 'x'),
      "\"  ;#=[]\\ \t\r\n\"  "};
  for (const std::string& text : texts) {
    SCOPED_TRACE(::testing::PrintToString(text));
    EXPECT_EQ(decodeIniText(encodeIniText(text)), text);
    Settings s;
    s.portPath = text;
    s.imageFile = text;
    s.callsign = text;
    s.imageEditorName = text;
    s.logMode = text;
    s.logReport = text;
    s.logBand = text;
    EXPECT_EQ(parseSettings(formatSettings(s)), s);
  }
}

TEST(IniText, RandomBytesRoundTrip) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 2000; ++i) {
    std::string text(rng() % 24, '\0');
    for (char& c : text) c = static_cast<char>(rng() % 256);
    Settings s;
    s.callsign = text;
    s.logBand = text;
    ASSERT_EQ(parseSettings(formatSettings(s)), s) << ::testing::PrintToString(text);
  }
}

TEST(IniText, HandWrittenAndMalformedQuotes) {
  EXPECT_EQ(parseSetLine("Callsign=\"DL1ABC\"").callsign, "DL1ABC");
  EXPECT_EQ(parseSetLine("Callsign=\"a\\\\b\\tc\\x41\"").callsign, "a\\b\tcA");
  // Not well-formed quoted texts are taken as they stand.
  EXPECT_EQ(parseSetLine("Callsign=\"open").callsign, "\"open");
  EXPECT_EQ(parseSetLine("Callsign=\"a\"b\"").callsign, "\"a\"b\"");
  EXPECT_EQ(parseSetLine("Callsign=\"bad \\q escape\"").callsign, "\"bad \\q escape\"");
  EXPECT_EQ(parseSetLine("Callsign=\"cut \\x4\"").callsign, "\"cut \\x4\"");
  EXPECT_EQ(parseSetLine("Callsign=\"trailing \\\"").callsign, "\"trailing \\\"");
  EXPECT_EQ(parseSetLine("Callsign=\"").callsign, "\"");
}

TEST(SettingsParse, IntegerValues) {
  const struct {
    const char* value;
    int expected;
  } cases[] = {
      {"7", 7},       {" 7 ", 7},     {"\t7\t", 7},    {"-3", -3},      {"+4", 4},
      {"007", 7},     {"-0", 0},      {"2147483647", INT_MAX},       {"-2147483648", INT_MIN},
      {"12abc", 0},  {"abc", 0},    {"", 0},         {"   ", 0},     {"0x10", 0},
      {"1.5", 0},    {"1e3", 0},    {"1 2", 0},      {"+", 0},       {"-", 0},
      {"+-3", 0},    {"-+3", 0},    {"--3", 0},      {"++3", 0},     {"2147483648", 0},
      {"99999999999", 0},            {"-99999999999", 0},          {"\"5\"", 0},
      {"٣", 0},  // not an ASCII digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseSettings("[Form]\nMainTop=" + std::string(c.value) + "\n").mainTop, c.expected)
        << "value '" << c.value << "'";
  }
}

TEST(SettingsParse, RangedNumbersReadAsTheNearestEndOfTheirRange) {
  // Extreme values once overflowed the gain and time-out arithmetic. The bounds are the
  // dialogs' counters and track bars, written here rather than read back from the table.
  const struct {
    const char* key;
    int Settings::*field;
    int min, max;
  } ranges[] = {
      {"InGainPos", &Settings::inGainPos, -40, 40},   {"OutGainPos", &Settings::outGainPos, 0, 80},
      {"TimeOut", &Settings::timeoutSeconds, 1, 300},        {"NumEtxData", &Settings::endFrameRepeat, 1, 30},
      {"SaveMinPass", &Settings::saveMinimumBlocks, 1, 300}, {"DeleteDay", &Settings::deleteAfterDays, 1, 365},
      {"NumCallSend", &Settings::callsignRepeat, 1, 12},
  };
  EXPECT_EQ(std::size(ranges), kSettingRanges.size());
  for (const auto& r : ranges) {
    const std::pair<int, int> cases[] = {{r.min, r.min},     {r.max, r.max},     {r.min - 1, r.min},
                                         {r.max + 1, r.max}, {INT_MIN, r.min},   {INT_MAX, r.max}};
    for (const auto& [value, expected] : cases) {
      const Settings s = parseSetLine(std::string(r.key) + "=" + std::to_string(value));
      EXPECT_EQ(s.*r.field, expected) << r.key << "=" << value;
    }
  }
  EXPECT_EQ(parseSetLine("TimeOut=0").timeoutSeconds, 1);
  EXPECT_EQ(parseSetLine("InGainPos=-2147483648").inGainPos, -40);
}

TEST(SettingsParse, RigSectionNumbersReadAsTheNearestEndOfTheirRange) {
  for (const SettingRange& r : kAutoSettingRanges) {
    const Settings s = parseSettings("[Auto]\n" + std::string(r.key) + "=" + std::to_string(INT_MAX) + "\n");
    EXPECT_EQ(s.*r.field, r.max) << r.key;
  }
  // The bounds are what the rig section offers (three ways of keying, Hamlib's five-digit model
  // numbers, serial speeds up to 4 Mbd, four PTT lines), written here rather than read back
  // from the table under test.
  const struct {
    const char* key;
    int Settings::*field;
    int min, max;
  } ranges[] = {{"PttMethod", &Settings::pttMethod, 0, 2},
                {"RigModel", &Settings::rigModel, 0, 99999},
                {"RigSpeed", &Settings::rigSpeed, 0, 4000000},
                {"PttType", &Settings::pttType, 0, 3}};
  EXPECT_EQ(std::size(ranges), kRigSettingRanges.size());
  for (const auto& r : ranges) {
    for (const auto& [value, expected] : {std::pair{r.min, r.min}, std::pair{r.max, r.max},
                                          std::pair{r.min - 1, r.min}, std::pair{r.max + 1, r.max},
                                          std::pair{INT_MIN, r.min}, std::pair{INT_MAX, r.max}}) {
      const Settings s = parseSettings("[Rig]\n" + std::string(r.key) + "=" + std::to_string(value) + "\n");
      EXPECT_EQ(s.*r.field, expected) << r.key << "=" << value;
    }
  }
  // The rig keys belong to their own section only.
  EXPECT_EQ(parseSetLine("PttMethod=1").pttMethod, 0);
}

TEST(SettingsParse, BooleansAreAnyNonZeroInteger) {
  const struct {
    const char* value;
    bool wave;  // WaveLoop, default false
    bool save;  // AutoSave, default true
  } cases[] = {
      {"1", true, true},    {"2", true, true},     {"-1", true, true},  {"+7", true, true},
      {"0", false, false},  {"00", false, false},  {" 0 ", false, false},
      {"", false, true},    {"true", false, true}, {"yes", false, true}, {"1x", false, true},
      {"99999999999", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(parseSetLine(std::string("WaveLoop=") + c.value).waveLoop, c.wave);
    EXPECT_EQ(parseSetLine(std::string("AutoSave=") + c.value).autoSave, c.save);
  }
}

TEST(SettingsParse, LenientSyntax) {
  Settings expected;
  expected.mainTop = 11;
  expected.mainLeft = 12;
  expected.inputDevice = 2;
  expected.callsign = "DL1ABC ; not a comment";
  expected.timeoutSeconds = 30;
  expected.scanDirection = 1;
  expected.logBand = "80";
  expected.showClock = true;

  const std::string text =
      "\xEF\xBB\xBF"
      "Callsign=before any section\r\n"
      "; comment\r\n"
      "  # another comment\r\n"
      "\r\n"
      "  [ Form ]  \r\n"
      "  MainTop   =   11   \r\n"
      "mainleft=12\r\n"
      "Callsign=wrong section\r\n"
      "no equals sign here\r\n"
      "=value without key\r\n"
      "[WAVE]\rInput=2\r"                      // lone CR line ends
      "[Set\n"                                 // missing ']'
      "Callsign=DL1ABC ; not a comment\n"
      "TimeOut=20\n"
      "\x01\x02\xff garbage \0 line\n"
      "[Form]\n"
      "[Set]\n"
      "TimeOut=30\n"                           // the last occurrence wins
      "\tScanDir\t=\t1\n"
      "LogBand=80\n"
      "ShowClock=5"s;                          // no line end at all
  EXPECT_EQ(parseSettings(text), expected);

  // Sections missing altogether: those keys keep their defaults.
  Settings onlySet;
  onlySet.modeIndex = 1;
  EXPECT_EQ(parseSettings("[Set]\nMod=1\n"), onlySet);
  EXPECT_EQ(parseSettings("Mod=1\nImageQ=3\n"), Settings{});
  EXPECT_EQ(parseSettings("[Set]\n[]\nMod=1\n"), Settings{});
}

TEST_F(SettingsFileTest, WaveLoopAndClampedValuesSurviveALoadSaveCycle) {
  writeText(path("pelimo.ini"), "[Set]\nWaveLoop=1\nNumCallSend=0\nNumEtxData=99\n");
  Settings s = loadSettings(path("pelimo.ini"));
  EXPECT_TRUE(s.waveLoop);
  EXPECT_EQ(s.callsignRepeat, 1);
  EXPECT_EQ(s.endFrameRepeat, 30);
  ASSERT_TRUE(saveSettings(path("pelimo.ini"), s));
  EXPECT_EQ(loadSettings(path("pelimo.ini")), s);
  EXPECT_NE(readText(path("pelimo.ini")).find("\nWaveLoop=1\n"), std::string::npos);
}

TEST_F(SettingsFileTest, SaveCreatesMissingFoldersAndLeavesNoTemporaryFile) {
  const std::string file = path("a/b/c/pelimo.ini");
  std::string error;
  ASSERT_TRUE(saveSettings(file, nonDefaultSettings(), &error)) << error;
  EXPECT_EQ(loadSettings(file), nonDefaultSettings());
  EXPECT_EQ(folderEntries(dir_ / "a/b/c"), std::vector<std::string>{"pelimo.ini"});

  // Replacing a longer old file leaves nothing of the old text.
  writeText(file, std::string(100000, '#') + "\n[Set]\nCallsign=OLD\n");
  ASSERT_TRUE(saveSettings(file, Settings{}));
  EXPECT_EQ(readText(file), kDefaultFile);
  EXPECT_EQ(folderEntries(dir_ / "a/b/c"), std::vector<std::string>{"pelimo.ini"});
}

TEST_F(SettingsFileTest, SaveThroughASymbolicLinkReplacesItsTarget) {
  writeText(path("real.ini"), "[Set]\nCallsign=OLD\n");
  fs::create_symlink("real.ini", dir_ / "pelimo.ini");
  ASSERT_TRUE(saveSettings(path("pelimo.ini"), nonDefaultSettings()));
  EXPECT_TRUE(fs::is_symlink(dir_ / "pelimo.ini"));
  EXPECT_EQ(loadSettings(path("real.ini")), nonDefaultSettings());
}

TEST_F(SettingsFileTest, FailedSaveReportsAndKeepsWhatWasThere) {
  // A folder on the way is a regular file.
  writeText(path("plain"), "keep me");
  std::string error;
  EXPECT_FALSE(saveSettings(path("plain/pelimo.ini"), Settings{}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readText(path("plain")), "keep me");
  EXPECT_FALSE(saveSettings(path("plain/pelimo.ini"), Settings{}));  // no error text wanted

  // The settings path is a folder with contents: the rename fails, nothing is lost or left.
  fs::create_directory(dir_ / "taken");
  writeText(path("taken/inside"), "keep me too");
  error.clear();
  EXPECT_FALSE(saveSettings(path("taken"), Settings{}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readText(path("taken/inside")), "keep me too");
  std::vector<std::string> entries = folderEntries(dir_);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"plain", "taken"}));

  EXPECT_FALSE(saveSettings("", Settings{}, &error));
}

TEST_F(SettingsFileTest, FailedSaveInReadOnlyFolderKeepsOldFile) {
  fs::create_directory(dir_ / "ro");
  const std::string file = path("ro/pelimo.ini");
  writeText(file, "[Set]\nCallsign=OLD\n");
  fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  if (::access((dir_ / "ro").c_str(), W_OK) == 0) {
    GTEST_SKIP() << "running with rights that ignore folder permissions";
  }
  std::string error;
  EXPECT_FALSE(saveSettings(file, nonDefaultSettings(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readText(file), "[Set]\nCallsign=OLD\n");
  EXPECT_EQ(folderEntries(dir_ / "ro"), std::vector<std::string>{"pelimo.ini"});
}

TEST_F(SettingsFileTest, AFileThatIsThereButCannotBeReadIsAProblemAMissingOneIsNot) {
  EXPECT_EQ(readSettingsFile(path("missing.ini")).problem, "");
  EXPECT_EQ(readSettingsFile(path("no/such/folder/pelimo.ini")).problem, "");

  // Whatever the user's rights: a link to a missing file (writing through it would make the
  // target), a pipe (it must not hang the start either), a folder, a path through a file, a
  // file over 1 MiB and a binary one.
  fs::create_symlink("nowhere.ini", dir_ / "link.ini");
  ASSERT_EQ(::mkfifo(path("pipe.ini").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.ini");
  writeText(path("plain"), "x");
  writeText(path("huge.ini"), "[Set]\nCallsign=DL1ABC\n" + std::string((1 << 20) - 20, '\n'));
  writeText(path("binary.ini"), std::string("[Set]\nCallsign=DL1ABC\n\0", 23));
  writeText(path("escape.ini"), "[Set]\nCallsign=DL1\x1b[31mABC\n");
  for (const std::string& file : {path("link.ini"), path("pipe.ini"), path("folder.ini"), path("plain/pelimo.ini"),
                                  path("huge.ini"), path("binary.ini"), path("escape.ini")}) {
    const SettingsRead read = readSettingsFile(file);
    EXPECT_EQ(read.problem.rfind("The settings file cannot be read (", 0), 0u) << read.problem;
    EXPECT_NE(read.problem.find(file), std::string::npos) << read.problem;
    EXPECT_EQ(read.settings, Settings{});
  }
  // Just within the limit, and text with tabs and every kind of line end, still reads.
  const std::string fullHead = "[Set]\r\nCallsign=\tdl1abc\rTimeOut=40\n";
  writeText(path("full.ini"), fullHead + std::string((1 << 20) - fullHead.size(), '\n'));
  ASSERT_EQ(fs::file_size(path("full.ini")), 1u << 20);
  const SettingsRead full = readSettingsFile(path("full.ini"));
  EXPECT_EQ(full.problem, "");
  EXPECT_EQ(full.settings.callsign, "dl1abc");
  EXPECT_EQ(full.settings.timeoutSeconds, 40);

  // Last, as it depends on the user's rights: a file that may not be read.
  writeText(path("locked.ini"), "[Set]\nCallsign=QA1OLD\n");
  fs::permissions(path("locked.ini"), fs::perms::none);
  if (::access(path("locked.ini").c_str(), R_OK) == 0)
    GTEST_SKIP() << "the unreadable-file case needs a user whose rights follow file permissions (not root)";
  EXPECT_EQ(readSettingsFile(path("locked.ini")).problem.rfind("The settings file cannot be read (", 0), 0u);
  fs::permissions(path("locked.ini"), fs::perms::owner_read);
  EXPECT_EQ(readSettingsFile(path("locked.ini")).settings.callsign, "QA1OLD");
}

TEST_F(SettingsFileTest, GarbageTextLoadsWithoutTrouble) {
  std::mt19937 rng(7);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(rng() % 256);
  // One enormous line within the limit, and every chunk of garbage as text.
  writeText(path("d.ini"), "[Set]\nCallsign=" + std::string(1000000, 'x'));
  EXPECT_EQ(loadSettings(path("d.ini")).callsign, std::string(1000000, 'x'));
  for (int i = 0; i < 200; ++i) {
    std::string chunk = garbage.substr(rng() % (1 << 19), rng() % 4096);
    parseSettings("[Set]\n" + chunk);
  }
}

}  // namespace
