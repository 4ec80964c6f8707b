// pelimo-cli: command lines, frame lines, and the send/receive round trip over WAV files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/frame_report.h"
#include "framing/frame_bits.h"
#include "imaging/jpeg_file.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("pelimo-cli-" + std::to_string(::getpid()) + "-" +
                                                   std::to_string(counter_++))) {
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(CliOptions, ParsesSendAndReceive) {
  auto send = parseCommandLine({"send", "--callsign", "JA1ABC", "--mode", "4l-fsk", "--code", "conv",
                                "--scale", "3", "--scan", "vertical", "--text", "hi", "-o", "x.wav"});
  ASSERT_TRUE(send.command) << send.error;
  const auto& s = std::get<SendOptions>(*send.command);
  EXPECT_EQ(s.callsign, "JA1ABC");
  EXPECT_TRUE(s.fourLevel);
  EXPECT_TRUE(s.coded);
  EXPECT_EQ(s.scaleIndex, 3);
  EXPECT_EQ(s.scanDirection, 1);
  EXPECT_EQ(*s.text, "hi");
  EXPECT_EQ(s.outputPath, "x.wav");

  auto receive = parseCommandLine({"receive", "in.wav", "--json"});
  ASSERT_TRUE(receive.command);
  EXPECT_EQ(std::get<ReceiveOptions>(*receive.command).inputPath, "in.wav");
  EXPECT_TRUE(std::get<ReceiveOptions>(*receive.command).json);
}

TEST(CliOptions, RefusesIncompleteOrWrongCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"send", "--text", "hi", "-o", "x.wav"},                                  // no callsign
      {"send", "--callsign", "A", "-o", "x.wav"},                               // nothing to send
      {"send", "--callsign", "A", "--text", "t", "--image", "i.jpg", "-o", "x"},  // both
      {"send", "--callsign", "A", "--text", "t"},                               // no output
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", "16"},
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", "1x"},
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--mode", "fsk"},
      {"send", "--callsign"},
      {"receive"},
      {"receive", "a.wav", "b.wav"},
      {"receive", "a.wav", "--bogus"},
      {"transmit"},
  };
  for (const auto& args : bad) {
    const auto parsed = parseCommandLine(args);
    EXPECT_FALSE(parsed.command) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(FrameReport, JsonLinesCarryEveryKeyAndEscapeText) {
  FrameReport r;
  r.info = {kFrameText, true, false, 0, 0, 10, 64};
  r.hasText = true;
  r.text = std::string("a\"b\\c\n\x01", 7) + "\xC3\xA9" + "\xFF";
  EXPECT_EQ(formatFrameJson(r),
            "{\"kind\":0,\"col\":0,\"row\":0,\"scale\":10,\"conv\":true,\"fourLevel\":false,"
            "\"length\":64,\"crc\":\"good\",\"text\":\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\\u00ff\"}");
  FrameReport end;
  end.info = {kFrameEnd, false, true, 20, 15, 10, 0};
  EXPECT_EQ(formatFrameJson(end),
            "{\"kind\":3,\"col\":20,\"row\":15,\"scale\":10,\"conv\":false,\"fourLevel\":true,"
            "\"length\":0,\"crc\":\"good\"}");
}

struct Mode {
  const char* mode;
  const char* code;
};

class CliRoundTrip : public testing::TestWithParam<Mode> {};

TEST_P(CliRoundTrip, SendThenReceiveGivesEveryFrameWithAGoodCheck) {
  TempDir dir;
  const std::string wav = dir.file("air.wav");
  std::ostringstream out, err;
  const ParsedCommandLine parsed = parseCommandLine({"send", "--callsign", "DL1XYZ", "--mode", GetParam().mode,
                                                     "--code", GetParam().code, "--text", "73 de DL1XYZ", "-o", wav});
  ASSERT_TRUE(parsed.command) << parsed.error;
  ASSERT_EQ(runSend(std::get<SendOptions>(*parsed.command), out, err), 0) << err.str();

  std::ostringstream frames;
  ReceiveOptions receive;
  receive.inputPath = wav;
  receive.json = true;
  ASSERT_EQ(runReceive(receive, frames, err), 0) << err.str();
  const auto got = lines(frames.str());
  ASSERT_EQ(got.size(), 11u);  // the text frame and ten end frames
  EXPECT_NE(got[0].find("\"kind\":0"), std::string::npos);
  EXPECT_NE(got[0].find("\"text\":\"DL1XYZ>73 de DL1XYZ\""), std::string::npos);
  for (const auto& line : got) EXPECT_NE(line.find("\"crc\":\"good\""), std::string::npos) << line;
  const bool conv = std::string(GetParam().code) == "conv";
  const bool four = std::string(GetParam().mode) == "4l-fsk";
  EXPECT_NE(got[0].find(conv ? "\"conv\":true" : "\"conv\":false"), std::string::npos);
  EXPECT_NE(got[0].find(four ? "\"fourLevel\":true" : "\"fourLevel\":false"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, CliRoundTrip,
                         testing::Values(Mode{"msk", "normal"}, Mode{"msk", "conv"}, Mode{"4l-fsk", "normal"},
                                         Mode{"4l-fsk", "conv"}));

TEST(CliRoundTrip, PictureArrivesWholeAndIsWritten) {
  TempDir dir;
  const std::string wav = dir.file("picture.wav");
  const std::string jpg = dir.file("received.jpg");
  std::ostringstream out, err;
  SendOptions send;
  send.callsign = "JA1ABC";
  send.scaleIndex = 15;
  send.imagePath = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";
  send.outputPath = wav;
  ASSERT_EQ(runSend(send, out, err), 0) << err.str();

  ReceiveOptions receive;
  receive.inputPath = wav;
  receive.summary = true;
  receive.imageOutputPath = jpg;
  std::ostringstream frames;
  ASSERT_EQ(runReceive(receive, frames, err), 0) << err.str();
  EXPECT_NE(frames.str().find("346 frames, 336 payloads good, 0 bad, 300 of 300 picture blocks"),
            std::string::npos)
      << frames.str();
  const PictureResult written = readJpegFile(jpg);
  ASSERT_TRUE(written) << written.error;
  EXPECT_EQ(written.picture->width(), 320);
}

TEST(CliErrors, MissingUnreadableAndNonAudioFilesFailClearly) {
  TempDir dir;
  const std::string text = dir.file("notes.wav");
  std::ofstream(text) << "this is not a recording\n";
  const std::string empty = dir.file("empty.wav");
  std::ofstream{empty};
  for (const std::string& path : {dir.file("missing.wav"), text, empty, dir.file("")}) {
    std::ostringstream out, err;
    ReceiveOptions o;
    o.inputPath = path;
    EXPECT_NE(runReceive(o, out, err), 0) << path;
    EXPECT_NE(err.str().find("pelimo-cli: "), std::string::npos) << path;
  }

  std::ostringstream out, err;
  SendOptions send;
  send.callsign = "JA1ABC";
  send.imagePath = text;
  send.outputPath = dir.file("out.wav");
  EXPECT_NE(runSend(send, out, err), 0);
  EXPECT_NE(err.str().find("not a JPEG or BMP picture"), std::string::npos) << err.str();

  send.imagePath.reset();
  send.text = "hello";
  send.outputPath = dir.file("no/such/folder/out.wav");
  std::ostringstream err2;
  EXPECT_NE(runSend(send, out, err2), 0);
  EXPECT_FALSE(err2.str().empty());
}

TEST(CliErrors, TextTooLongForOneFrameIsRefused) {
  TempDir dir;
  SendOptions send;
  send.callsign = "JA1ABC";
  send.coded = true;
  send.text = std::string(300, 'x');  // coded frames carry at most 254 bytes with the callsign
  send.outputPath = dir.file("long.wav");
  std::ostringstream out, err;
  EXPECT_NE(runSend(send, out, err), 0);
  EXPECT_NE(err.str().find("The text is too long to send: at most 247 characters"), std::string::npos)
      << err.str();
}

}  // namespace
