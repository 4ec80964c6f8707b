// pelimo-cli: command lines, frame lines, and the send/receive round trip over WAV files.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/frame_report.h"
#include "cli/receive_command.h"
#include "cli/send_command.h"
#include "cli_test_support.h"
#include "framing/frame_bits.h"
#include "imaging/jpeg_file.h"

namespace {

using namespace cli_test;

const SendOptions* sendOptionsOf(const ParsedCommandLine& parsed) {
  const auto* send = dynamic_cast<const SendCommand*>(parsed.chosen);
  return send ? &send->options : nullptr;
}

TEST(CliOptions, ParsesSendAndReceiveWithScaleAsIndexOrValue) {
  auto send = parseCommandLine({"send", "--callsign", "JA1ABC/P", "--mode", "4l-fsk", "--code", "conv",
                                "--scale", "3", "--scan", "vertical", "--text", "hi", "-o", "x.wav"});
  const SendOptions* s = sendOptionsOf(send);
  ASSERT_TRUE(s) << send.error;
  EXPECT_EQ(s->callsign, "JA1ABC/P");
  EXPECT_EQ(s->modeIndex, 1);
  EXPECT_EQ(s->codeIndex, 1);
  EXPECT_EQ(s->scaleIndex, 3);
  EXPECT_EQ(s->scanDirection, 1);
  EXPECT_EQ(*s->text, "hi");
  EXPECT_EQ(s->outputPath, "x.wav");

  for (const auto& [text, index] : std::vector<std::pair<std::string, int>>{
           {"1.00", 10}, {"1.0", 10}, {"0.07", 0}, {"2.00", 15}, {"15", 15}, {"0", 0}}) {
    auto parsed = parseCommandLine({"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", text});
    ASSERT_TRUE(sendOptionsOf(parsed)) << text << ": " << parsed.error;
    EXPECT_EQ(sendOptionsOf(parsed)->scaleIndex, index) << text;
  }

  auto receive = parseCommandLine({"receive", "in.wav", "--json", "--image", "p.jpg"});
  const auto* r = dynamic_cast<const ReceiveCommand*>(receive.chosen);
  ASSERT_TRUE(r) << receive.error;
  EXPECT_EQ(r->options.inputPath, "in.wav");
  EXPECT_TRUE(r->options.json);
  EXPECT_EQ(*r->options.imageOutputPath, "p.jpg");
}

TEST(CliOptions, UsageErrorsExitTwoWithOneLineAndHelpExitsZero) {
  const std::vector<std::vector<std::string>> bad = {
      {"send", "--text", "hi", "-o", "x.wav"},                                    // no callsign
      {"send", "--callsign", "A", "-o", "x.wav"},                                 // nothing to send
      {"send", "--callsign", "A", "--text", "t", "--image", "i.jpg", "-o", "x"},  // both
      {"send", "--callsign", "A", "--text", "t"},                                 // no output
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", "16"},
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", "1x"},
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--scale", "1.01"},
      {"send", "--callsign", "A", "--text", "t", "-o", "x", "--mode", "fsk"},
      {"send", "--callsign", "A>B", "--text", "t", "-o", "x"},
      {"send", "--callsign", "JA1\x01", "--text", "t", "-o", "x"},
      {"send", "--callsign", std::string(21, 'A'), "--text", "t", "-o", "x"},
      {"send", "--callsign"},
      {"receive"},
      {"receive", "a.wav", "b.wav"},
      {"receive", "a.wav", "--bogus"},
      {"receive", "a.wav", "--receiver", "best"},
      {"transmit"},
  };
  for (const auto& args : bad) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("pelimo-cli: ", 0), 0u) << run.err;
    EXPECT_TRUE(run.out.empty());
  }

  const CliRun none = runCli({});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("send"), std::string::npos);
  EXPECT_NE(none.err.find("receive"), std::string::npos);

  for (const char* command : {"send", "receive"}) {
    const CliRun help = runCli({command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find(std::string("pelimo-cli ") + command), std::string::npos) << help.out;
    EXPECT_TRUE(help.err.empty());
  }
  EXPECT_NE(runCli({"send", "--help"}).out.find("--callsign"), std::string::npos);
}

TEST(FrameReport, TextAndBytesTellEveryPayloadApart) {
  FrameReport r;
  r.info = {kFrameText, true, false, 0, 0, 10, 64};
  r.hasText = true;
  r.text = std::string("a\"b\\c\n\x01", 7) + "\xC3\xA9" + "\xFF";
  EXPECT_EQ(formatFrameJson(r),
            "{\"kind\":0,\"col\":0,\"row\":0,\"scale\":10,\"conv\":true,\"fourLevel\":false,"
            "\"length\":64,\"crc\":\"good\",\"text\":\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\xEF\xBF\xBD\","
            "\"bytes\":\"6122625c630a01c3a9ff\"}");
  // "\xFF" and "\xFE" both show as U+FFFD; only their bytes differ, and Latin-1 "ÿ" differs too.
  FrameReport other = r;
  other.text = std::string("a\"b\\c\n\x01", 7) + "\xC3\xA9" + "\xFE";
  FrameReport latin = r;
  latin.text = std::string("a\"b\\c\n\x01", 7) + "\xC3\xA9" + "\xC3\xBF";
  EXPECT_NE(formatFrameJson(r), formatFrameJson(other));
  EXPECT_NE(formatFrameJson(r), formatFrameJson(latin));
  EXPECT_NE(formatFrameText(r), formatFrameText(other));
  EXPECT_NE(formatFrameText(r).find(" bytes 6122625c630a01c3a9ff"), std::string::npos) << formatFrameText(r);

  FrameReport end;
  end.info = {kFrameEnd, false, true, 20, 15, 10, 0};
  EXPECT_EQ(formatFrameJson(end),
            "{\"kind\":3,\"col\":20,\"row\":15,\"scale\":10,\"conv\":false,\"fourLevel\":true,"
            "\"length\":0,\"crc\":\"good\"}");
  FrameReport unread = end;
  unread.info.kind = kFrameImageBlock;
  unread.check = PayloadCheck::unread;
  EXPECT_NE(formatFrameJson(unread).find("\"crc\":\"unread\""), std::string::npos);
  EXPECT_NE(formatFrameText(unread).find("payload not read"), std::string::npos);
}

struct Mode {
  const char* mode;
  const char* code;
};

class CliRoundTrip : public testing::TestWithParam<Mode> {};

TEST_P(CliRoundTrip, SendThenReceiveGivesEveryFrameWithAGoodCheck) {
  TempDir dir;
  const std::string wav = dir.file("air.wav");
  const CliRun sent = runCli({"send", "--callsign", "DL1XYZ", "--mode", GetParam().mode, "--code",
                              GetParam().code, "--text", "73 de DL1XYZ", "-o", wav});
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(dir.names(), std::vector<std::string>{"air.wav"});

  const CliRun received = runCli({"receive", wav, "--json"});
  ASSERT_EQ(received.status, 0) << received.err;
  const auto got = lines(received.out);
  ASSERT_EQ(got.size(), 11u);  // the text frame and ten end frames
  EXPECT_NE(got[0].find("\"kind\":0"), std::string::npos);
  EXPECT_NE(got[0].find("\"text\":\"DL1XYZ>73 de DL1XYZ\""), std::string::npos);
  for (const auto& line : got) EXPECT_NE(line.find("\"crc\":\"good\""), std::string::npos) << line;
  const bool conv = std::string(GetParam().code) == "conv";
  const bool four = std::string(GetParam().mode) == "4l-fsk";
  EXPECT_NE(got[0].find(conv ? "\"conv\":true" : "\"conv\":false"), std::string::npos);
  EXPECT_NE(got[0].find(four ? "\"fourLevel\":true" : "\"fourLevel\":false"), std::string::npos);
  // The tolerant receiver (the default) tells what it measured: a clean recording is on tune
  // (within the few hertz a short frame tells) and far above the noise (the band-limited
  // envelope of a clean signal reads as about 27 dB). The plain receiver reads the same frames and measures nothing.
  const auto field = [](const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? std::nan("") : std::stod(line.substr(at + key.size() + 3));
  };
  EXPECT_NEAR(field(got[0], "offsetHz"), 0.0, 6.0) << got[0];
  EXPECT_GT(field(got[0], "snrDb"), 22.0) << got[0];
  const CliRun plain = runCli({"receive", wav, "--json", "--receiver", "specified"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const auto plainLines = lines(plain.out);
  ASSERT_EQ(plainLines.size(), 11u);
  EXPECT_EQ(plainLines[0].find("offsetHz"), std::string::npos);
  EXPECT_NE(plainLines[0].find("\"crc\":\"good\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, CliRoundTrip,
                         testing::Values(Mode{"msk", "normal"}, Mode{"msk", "conv"}, Mode{"4l-fsk", "normal"},
                                         Mode{"4l-fsk", "conv"}));

TEST(CliRoundTrip, PictureArrivesWholeAndIsWritten) {
  TempDir dir;
  const std::string wav = dir.file("picture.wav");
  const std::string jpg = dir.file("received.jpg");
  const CliRun sent = runCli({"send", "--callsign", "JA1ABC", "--scale", "2.00", "--image",
                              std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg", "-o", wav});
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_TRUE(sent.err.empty()) << sent.err;

  const CliRun received = runCli({"receive", wav, "--summary", "--image", jpg});
  ASSERT_EQ(received.status, 0) << received.err;
  EXPECT_NE(received.out.find("346 frames, 336 payloads good, 0 bad, 300 of 300 picture blocks"),
            std::string::npos)
      << received.out;
  EXPECT_NE(received.out.find("scale 15"), std::string::npos);
  const PictureResult written = readJpegFile(jpg);
  ASSERT_TRUE(written) << written.error;
  EXPECT_EQ(written.picture->width(), 320);
}

}  // namespace
