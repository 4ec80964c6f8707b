// pelimo-cli and the files it touches: outputs checked before any work and written whole,
// special files left alone, damaged recordings and pictures reported, nothing lost at the end
// of a recording, and failed writes to standard output noticed.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>

#include "audio/wav_file.h"
#include "cli/receive_command.h"
#include "cli/send_command.h"
#include "cli_test_support.h"
#include "core/file_bytes.h"
#include "imaging/bmp_file.h"
#include "support/rx_test_signal.h"

namespace {

using namespace cli_test;

std::string sample() { return std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg"; }

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool isFifo(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// A text transmission as a WAV file; its samples.
std::vector<int16_t> textRecording(const TempDir& dir) {
  const CliRun sent = runCli({"send", "--callsign", "DL1XYZ", "--text", "73", "-o", dir.file("text.wav")});
  EXPECT_EQ(sent.status, 0) << sent.err;
  return readWavMono48k(dir.file("text.wav")).samples;
}

TEST(CliOutputs, SpecialFilesAreLeftAloneAndLinksWrittenThrough) {
  TempDir dir;
  textRecording(dir);
  const std::string recording = dir.file("text.wav");

  // A symbolic link stays a link; its target receives the picture.
  writeText(dir.file("target.jpg"), "old");
  fs::create_symlink("target.jpg", dir.file("link.jpg"));
  CliRun run = runCli({"receive", recording, "--image", dir.file("link.jpg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir.file("link.jpg")));
  EXPECT_EQ(readText(dir.file("target.jpg")).substr(0, 2), "\xFF\xD8");

  // A pipe, directly or through a link, and a folder are refused before the recording is read.
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  fs::create_symlink(dir.file("pipe"), dir.file("pipe-link.jpg"));
  fs::create_directory(dir.file("folder.jpg"));
  for (const std::string& out : {dir.file("pipe"), dir.file("pipe-link.jpg"), dir.file("folder.jpg"),
                                 dir.file("no/such/folder/p.jpg")}) {
    run = runCli({"receive", recording, "--image", out});
    EXPECT_EQ(run.status, 1) << out;
    EXPECT_TRUE(run.out.empty()) << out << ": " << run.out;  // nothing was processed
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
    run = runCli({"send", "--callsign", "A1", "--text", "hi", "-o", out});
    EXPECT_EQ(run.status, 1) << out;
    EXPECT_EQ(run.err.find("Can not open"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(isFifo(dir.file("pipe")));
  EXPECT_TRUE(fs::is_symlink(dir.file("pipe-link.jpg")));
}

TEST(CliOutputs, RefusedSendLeavesTheOutputAsItWas) {
  TempDir dir;
  const std::string out = dir.file("out.wav");
  writeText(out, "precious");
  writeText(dir.file("notes.jpg"), "not a picture");
  writeText(dir.file("sample.png"), readText(sample()));
  writeText(dir.file("sample.gif"), readText(sample()));
  std::vector<uint8_t> small = encodeBmp(Picture(319, 240));
  ASSERT_TRUE(writeFileReplacing(dir.file("small.bmp"), small.data(), small.size(), nullptr));
  writeText(dir.file("misnamed.jpg"), readText(dir.file("small.bmp")));
  const std::vector<std::string> before = dir.names();

  struct Case {
    std::optional<std::string> text, image;
    std::string callsign, message;
  };
  const std::vector<Case> cases = {
      {"", {}, "JA1ABC", "the text is empty"},
      {"Input Text and Click ->", {}, "JA1ABC", "prompt"},
      {std::string(300, 'x'), {}, "JA1ABC", "The text is too long to send: at most 247 characters"},
      {"hi", {}, "JA1>ABC", "\">\""},
      {"hi", {}, "", "the callsign is empty"},
      {{}, dir.file("notes.jpg"), "JA1ABC", "not a JPEG, PNG or BMP picture"},
      {{}, dir.file("missing.jpg"), "JA1ABC", "does not exist"},
      {{}, dir.file("sample.gif"), "JA1ABC", ".jpg, .jpeg, .jfif, .png or .bmp"},
      {{}, dir.file("sample.png"), "JA1ABC", "holds a JPEG picture but is named as a PNG file; rename it to .jpg"},
      {{}, dir.file("small.bmp"), "JA1ABC", "(319 x 240): Image size is too small"},
      {{}, dir.file("misnamed.jpg"), "JA1ABC", "holds a BMP picture"},
  };
  for (const Case& c : cases) {
    SendOptions o;
    o.callsign = c.callsign;
    o.codeIndex = 1;
    o.text = c.text;
    o.imagePath = c.image;
    o.outputPath = out;
    std::ostringstream stdoutText, err;
    EXPECT_EQ(runSend(o, stdoutText, err), 1) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_EQ(lines(err.str()).size(), 1u) << err.str();
    EXPECT_EQ(readText(out), "precious") << c.message;
    EXPECT_EQ(dir.names(), before) << c.message;
  }
}

TEST(CliPictures, JpegWithWarningsIsSentWithANoteAndBadBmpOffsetsAreRefused) {
  TempDir dir;
  const std::string jpeg = readText(sample());
  writeText(dir.file("cut.jpg"), jpeg.substr(0, jpeg.size() * 3 / 4));
  CliRun run = runCli({"send", "--callsign", "JA1ABC", "--image", dir.file("cut.jpg"), "-o", dir.file("a.wav")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("note: " + dir.file("cut.jpg") + ": decoded with "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("libjpeg warnings (Premature end of JPEG file)"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(dir.file("a.wav")));

  std::vector<uint8_t> bmp = encodeBmp(Picture(320, 240));
  bmp[10] = 20;  // the pixels would start inside the info header
  bmp[11] = bmp[12] = bmp[13] = 0;
  ASSERT_TRUE(writeFileReplacing(dir.file("header.bmp"), bmp.data(), bmp.size(), nullptr));
  run = runCli({"send", "--callsign", "JA1ABC", "--image", dir.file("header.bmp"), "-o", dir.file("b.wav")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("inside its header"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.file("b.wav")));
}

TEST(CliRecordings, MissingUnreadableAndNonAudioFilesFailClearly) {
  TempDir dir;
  writeText(dir.file("notes.wav"), "this is not a recording\n");
  writeText(dir.file("empty.wav"), "");
  fs::create_directory(dir.file("folder.wav"));
  for (const std::string& path :
       {dir.file("missing.wav"), dir.file("notes.wav"), dir.file("empty.wav"), dir.file("folder.wav"), std::string()}) {
    const CliRun run = runCli({"receive", path});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_EQ(run.err.rfind("pelimo-cli: ", 0), 0u) << path << ": " << run.err;
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
}

TEST(CliRecordings, TheLastFrameOnABufferBoundaryIsRead) {
  TempDir dir;
  std::vector<int16_t> samples = textRecording(dir);
  ASSERT_FALSE(samples.empty());
  // Cut right after the last sounding sample, then drop leading silence so that the recording
  // is a whole number of device buffers: the last end frame's last symbols are still in the
  // filters when the recording ends.
  size_t last = samples.size();
  while (last > 0 && samples[last - 1] == 0) --last;
  samples.resize(last);
  const size_t lead = samples.size() % 12000;
  ASSERT_TRUE(std::all_of(samples.begin(), samples.begin() + lead, [](int16_t s) { return s == 0; }));
  samples.erase(samples.begin(), samples.begin() + lead);
  ASSERT_EQ(writeWav48k(dir.file("tight.wav"), samples), "");

  const CliRun run = runCli({"receive", dir.file("tight.wav"), "--summary"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(lines(run.out).size(), 12u) << run.out;  // text frame, ten end frames, summary
  EXPECT_NE(run.out.find("11 frames, 1 payloads good, 0 bad"), std::string::npos) << run.out;
}

TEST(CliRecordings, ADamagedRecordingFailsAndSaysHowFarItWasRead) {
  TempDir dir;
  std::vector<int16_t> samples = textRecording(dir);
  // Noise-like sound for a few seconds after the transmission, stored as FLAC, then damaged in
  // the middle: libsndfile's decoder loses sync there.
  for (int i = 0; i < 48000 * 4; ++i) samples.push_back(int16_t(8000 * std::sin(i * 0.1) + (i * 7919) % 3000));
  SF_INFO info{};
  info.samplerate = 48000;
  info.channels = 1;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(dir.file("air.flac").c_str(), SFM_WRITE, &info);
  ASSERT_TRUE(file) << sf_strerror(nullptr);
  sf_write_short(file, samples.data(), sf_count_t(samples.size()));
  sf_close(file);
  std::string bytes = readText(dir.file("air.flac"));
  std::fill(bytes.begin() + bytes.size() * 3 / 4, bytes.begin() + bytes.size() * 3 / 4 + 2000, '\xFF');
  writeText(dir.file("air.flac"), bytes);

  const CliRun run = runCli({"receive", dir.file("air.flac"), "--image", dir.file("p.jpg")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot be read to its end: reading failed after "), std::string::npos) << run.err;
  EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
  EXPECT_EQ(lines(run.out).size(), 11u) << run.out;  // the frames before the damage are printed
  EXPECT_FALSE(fs::exists(dir.file("p.jpg")));
}

TEST(CliRecordings, AFrameTooLongToReadIsReportedAsUnread) {
  TempDir dir;
  // A coded block frame whose header announces more payload than the receiver reads, then an
  // end frame.
  const std::vector<rxtest::TestFrame> frames = {rxtest::makeFrame(kFrameImageBlock, true, false, 3, 4, 10, 4000, 7),
                                                 rxtest::makeFrame(kFrameEnd, false, false, 0, 0, 10, 0, 1)};
  const auto signal = rxtest::fskSignal(rxtest::symbolTones(rxtest::transmissionBits(frames, false), false));
  ASSERT_EQ(writeWav48k(dir.file("long.wav"), signal), "");
  const CliRun run = runCli({"receive", dir.file("long.wav"), "--json", "--summary"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto got = lines(run.out);
  ASSERT_EQ(got.size(), 3u) << run.out;
  EXPECT_NE(got[0].find("\"kind\":1,\"col\":3,\"row\":4"), std::string::npos) << got[0];
  EXPECT_NE(got[0].find("\"length\":4000,\"crc\":\"unread\""), std::string::npos) << got[0];
  EXPECT_NE(got[1].find("\"kind\":3"), std::string::npos) << got[1];
  EXPECT_NE(got[2].find("2 frames, 0 payloads good, 0 bad, 1 not read"), std::string::npos) << got[2];
}

// A stream whose every write fails, as standard output on a full disk.
class FullBuffer : public std::streambuf {
 protected:
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(CliRecordings, FailedWritesToStandardOutputFail) {
  TempDir dir;
  textRecording(dir);
  FullBuffer full;
  std::ostream out(&full);
  std::ostringstream err;
  EXPECT_EQ(runCommandLine({"receive", dir.file("text.wav"), "--json"}, out, err), 1);
  EXPECT_NE(err.str().find("could not be written to standard output"), std::string::npos) << err.str();
}

}  // namespace
