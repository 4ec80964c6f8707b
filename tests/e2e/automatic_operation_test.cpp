// Automatic BSR between whole stations on simulated air: a damaged picture completed with no
// press, the same with a third station keeping the channel busy, a request after another
// station's picture left unanswered, and the free-channel rule measured on white noise and on
// a station at 0 dB SNR.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/auto_operation.h"
#include "rx/receiver_state.h"
#include "cli/simulate_command.h"
#include "station_link.h"
#include "support/temp_folder.h"
#include "support/sample_picture.h"

namespace {


nlohmann::json simulateAuto(std::optional<double> busySeconds, std::string& messagesOfB) {
  TempFolder homeA, homeB;
  SimulateOptions o;
  o.imagePath = kSample;
  o.scaleIndex = 7;
  o.air.snrDb = 5;
  o.seed = 2;
  o.autoOperation = true;
  o.busySeconds = busySeconds;
  o.homeA = homeA.path().string();
  o.homeB = homeB.path().string();
  o.wallClockStart = 1'796'724'050;
  std::ostringstream out, err;
  EXPECT_EQ(runSimulate(o, out, err), 0) << err.str();
  std::ifstream log(homeB.file("messages.log"));
  messagesOfB.assign(std::istreambuf_iterator<char>(log), {});
  const std::string text = out.str();
  return nlohmann::json::parse(text.substr(text.rfind('\n', text.size() - 2) + 1));
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(AutomaticOperation, ADamagedPictureIsCompletedWithoutAPressAndWaitsForABusyChannel) {
  std::string log;
  const nlohmann::json quiet = simulateAuto(std::nullopt, log);
  const int afterImage = quiet["blocksAfterImage"];
  ASSERT_LT(afterImage, 300) << "the noise is meant to cost blocks";
  EXPECT_EQ(quiet["presses"], 0);
  EXPECT_EQ(quiet["missing"], 0);
  const nlohmann::json& sent = quiet["autoTransmissions"];
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(quiet["autoRequests"], quiet["autoAnswers"]);
  EXPECT_EQ(quiet["autoRequests"].get<size_t>() * 2, sent.size());
  for (size_t i = 0; i < sent.size(); ++i)  // B asks, A answers, in turn
    EXPECT_EQ(sent[i]["station"], i % 2 ? "A" : "B") << i;
  // The noise that stays on the channel after A's picture does not hold B's request back: it
  // goes out after the end frames and the 2 s hold.
  const double firstRequest = sent[0]["startSeconds"];
  const double pictureEnd = quiet["pictureEndSeconds"];
  EXPECT_LT(firstRequest - pictureEnd, 5.0);
  EXPECT_TRUE(contains(log, "Auto BSR: round 1 of 3, " + std::to_string(300 - afterImage) + " blocks")) << log;
  EXPECT_TRUE(contains(log, "Auto BSR: the picture is complete")) << log;

  // A third station on the air for 20 s from the end of A's picture: B waits it out.
  const nlohmann::json busy = simulateAuto(20.0, log);
  EXPECT_EQ(busy["presses"], 0);
  EXPECT_EQ(busy["missing"], 0);
  const double delayedRequest = busy["autoTransmissions"][0]["startSeconds"];
  EXPECT_GE(delayedRequest, pictureEnd + 20 + 2);
  EXPECT_LT(delayedRequest, pictureEnd + 20 + 5);
  EXPECT_TRUE(contains(log, "Auto BSR: waiting for a free channel")) << log;
}

// Three stations: A (automatic) sends a picture, then C's picture is heard and broken off, and
// B asks for C's missing blocks. The request follows C's picture, so A stays silent.
TEST(AutomaticOperation, ARequestAfterAnotherStationsPictureIsNotAnswered) {
  StationLink link;
  const int indexC = link.air.addStation();
  FakePlatform platformC;
  MainWindow c(platformC, StationDevices{&link.air.backend(indexC)});
  c.settings.callsign = "OK3CCC";
  c.openDevices();
  link.a->settings.autoBsr = true;
  auto tick = [&] {
    link.tick();
    c.pumpMessages();
  };
  link.sendClipboardPicture(15);
  while (link.a->state.txInProgress) tick();  // C listens too, as every station does
  for (int i = 0; i < 12; ++i) tick();
  ASSERT_EQ(link.b->receivedBlocksHeld(), 300);

  c.state.imageFromClipboard = true;
  c.clipboardPicture = texturedPicture();
  c.scaleCombo.index = 15;
  c.sendImageButton.down = true;
  c.sendImageClicked();
  ASSERT_TRUE(c.state.txInProgress) << (platformC.messages.empty() ? "" : platformC.messages.back().text);
  for (int i = 0; i < 40; ++i) tick();  // C's head and some blocks
  c.sendImageButton.down = false;
  c.sendImageClicked();  // "Stop": abort frames
  while (c.state.txInProgress) tick();
  for (int i = 0; i < 12; ++i) tick();
  link.b->finishRxClicked();
  ASSERT_GT(link.b->state.missingBlockCount, 0) << link.b->receivedBlocksHeld() << " held";
  link.b->sendBsrButton.down = true;
  link.b->sendBsrClicked();
  for (int i = 0; i < 12; ++i) tick();  // the head and a few requests
  link.b->sendBsrButton.down = false;
  link.b->sendBsrClicked();  // one more request, then the end frames
  while (link.b->state.txInProgress) tick();
  for (int i = 0; i < 40; ++i) tick();  // the hold and more: an answer would have begun
  EXPECT_FALSE(link.a->state.txInProgress);
  EXPECT_GT(link.a->state.requestedBlockCount, 0);  // A heard the request
  EXPECT_EQ(link.a->autoOperation().answersSent, 0);
  const auto& lines = link.a->messageLog.lines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Auto BSR: a request after another station's picture is not answered"),
            lines.end());
}

// The busy margin against what it must tell apart: white noise alone stays below it and lets
// the hold run out; a station at 0 dB SNR stands above it in every buffer of its transmission.
TEST(AutomaticOperation, WhiteNoiseAloneIsAFreeChannelAndAStationAtZeroDbIsNot) {
  // The air's noise is white up to 24 kHz: at 0 dB SNR in 2500 Hz it is ten times the signal,
  // so A sends 30 dB below full scale to keep B's input from clipping.
  const double level = 32768 * std::pow(10.0, -1.5);
  ChannelModel toB;
  toB.snrDb = 0;
  toB.signalPower = 0.5 * level * level;
  StationLink link(toB, 7);
  link.a->settings.outGainPos = 30;
  link.a->applySettings();
  const FreeChannel& channel = link.b->autoOperation().channel();
  double noiseExcess = -99, signalExcess = 99;
  for (int i = 0; i < 200; ++i) {
    link.tick();
    if (i >= 8) noiseExcess = std::max(noiseExcess, channel.levelDb() - channel.floorDb());
  }
  EXPECT_TRUE(channel.freeFor(8));
  EXPECT_LT(noiseExcess, kBusyMarginDb);
  link.sendClipboardPicture(15);
  for (int i = 0; i < 3; ++i) link.tick();  // the primed silence
  int buffers = 0;
  while (link.a->state.txInProgress) {
    link.tick();
    if (link.a->state.txSilent) break;
    signalExcess = std::min(signalExcess, channel.levelDb() - channel.floorDb());
    EXPECT_TRUE(channel.busy());
    ++buffers;
  }
  ASSERT_GT(buffers, 20);
  EXPECT_GT(signalExcess, kBusyMarginDb);
  RecordProperty("noiseExcessDb", std::to_string(noiseExcess));
  RecordProperty("signalExcessDb", std::to_string(signalExcess));
  std::printf("white noise at most %.2f dB above the floor; 0 dB SNR station at least %.2f dB\n", noiseExcess,
              signalExcess);
}

}  // namespace
