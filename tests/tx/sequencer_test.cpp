// Whole transmissions as they go on the air, frame by frame: the head, data phase, end phase
// and silent tail of every kind, operator stops, push-to-talk timing and restarts.
#include "tx/sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/transmit_picture.h"
#include "support/fake_transmit_host.h"
#include "support/clean_frame_parser.h"

namespace {

// One period on the air, as seen at a frame boundary (or at the start).
struct AirEvent {
  enum Kind { kFrame, kSilent } what = kFrame;
  ParsedFrame frame;
  bool ended = false;  // the end decision has been taken (txInProgress false)
};

bool startsWithPreamble(const TxBitStream& s, bool fourLevel) {
  return fourLevel ? (s.bits[0] == 0 && s.bits[1] == 0 && s.bits[2] == 1 && s.bits[3] == 1)
                   : (s.bits[0] == 0 && s.bits[1] == 1 && s.bits[2] == 0 && s.bits[3] == 1);
}

struct SequencedStation {
  SharedState state;
  std::unique_ptr<TransmitterState> tx = std::make_unique<TransmitterState>();
  FakeTransmitHost host;
  Picture picture{320, 240};
  Picture preview{320, 240};
  std::vector<AirEvent> events;
  int buffers = 0;

  SequencedStation() {
    // A picture with detail in every block.
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x)
        picture.set(x, y, Colour{static_cast<uint8_t>(x * 3 + y), static_cast<uint8_t>(y * 5),
                                 static_cast<uint8_t>((x ^ y) * 7)});
    host.sources.callsign = "QA1BCD";
    host.sources.text = "hi";
    host.sources.scaleIndex = 3;
    host.sources.codeIndex = 0;
    host.sources.scanDirection = kScanRandom;
    host.sources.txPicture = &picture;
    host.sources.txPreviewPicture = &preview;
    host.keepAudio = false;
    buildScanPermutation(state.scanPermutation, 1'700'000'123);
  }

  void record() {
    AirEvent e;
    e.ended = !state.txInProgress;
    if (state.txSilent) {
      e.what = AirEvent::kSilent;
    } else {
      e.frame = parseCleanFrame(tx->stream, state.fourLevelMode,
                                startsWithPreamble(tx->stream, state.fourLevelMode));
    }
    events.push_back(e);
  }

  void start(int kind) {
    startTransmission(state, *tx, host, kind);
    record();
  }

  // Plays buffers like transmitStep does, recording every frame boundary; `beforeBuffer` runs
  // between buffers, where the operator's commands run.
  void play(const std::function<void(SequencedStation&)>& beforeBuffer = {}) {
    class Recorder final : public FrameBoundaryHandler {
     public:
      explicit Recorder(SequencedStation& s) : s_(s) {}
      void frameBoundary() override {
        // The buffer in which the end is decided goes on silently to its end; what follows
        // the end decision is not on the air.
        const bool onAir = s_.state.txInProgress;
        ::frameBoundary(s_.state, *s_.tx, s_.host);
        controls = modulatorControls(s_.state);
        if (onAir) s_.record();
      }
      SequencedStation& s_;
      ModulatorControls controls;
    } recorder(*this);
    while (state.txInProgress && buffers < 20000) {
      if (beforeBuffer) beforeBuffer(*this);
      recorder.controls = modulatorControls(state);
      synthesiseBuffer(tx->modulator, recorder.controls, tx->stream, recorder, host);
      ++buffers;
    }
  }

  // A compact picture of the events: C callsign, B block, R request, S response, T text,
  // E end, A abort, . silent period, | the end decision.
  std::string summary() const {
    std::string out;
    for (const AirEvent& e : events) {
      if (e.what == AirEvent::kSilent) {
        out += e.ended ? '|' : '.';
        continue;
      }
      switch (e.frame.header.kind) {
        case kFrameCallsign: out += 'C'; break;
        case kFrameImageBlock: out += 'B'; break;
        case kFrameBsrRequest: out += 'R'; break;
        case kFrameBsrResponse: out += 'S'; break;
        case kFrameText: out += 'T'; break;
        case kFrameEnd: out += 'E'; break;
        case kFrameAbort: out += 'A'; break;
        default: out += '?'; break;
      }
    }
    return out;
  }
};

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

void fillList(std::array<BlockPosition, kBlockCount>& list, int count) {
  for (int i = 0; i < count; ++i) list[i] = BlockPosition{(i * 7) % 20, (i * 3) % 15};
}

// Every frame parses cleanly and only the first one carries the preamble.
void expectCleanFrames(const SequencedStation& st) {
  bool first = true;
  for (const AirEvent& e : st.events) {
    if (e.what != AirEvent::kFrame) continue;
    EXPECT_TRUE(e.frame.wellFormed);
    EXPECT_TRUE(e.frame.headerCrcOk);
    EXPECT_EQ(e.frame.preambleBits > 0, first);
    first = false;
  }
}

}  // namespace

TEST(Sequencer, ImageTransmissionOnTheAir) {
  for (bool fourLevel : {false, true}) {
    SCOPED_TRACE(fourLevel);
    SequencedStation st;
    st.state.fourLevelMode = fourLevel;
    st.start(kTxImage);
    EXPECT_EQ(st.host.buffersQueued, kPrimedBuffers);
    EXPECT_EQ(st.state.txBlocksAcross, 20);
    EXPECT_EQ(st.state.txBlocksDown, 15);
    st.play();

    // 6 callsign frames, 300 blocks with a callsign frame after every tenth, 10 end frames,
    // 3 silent periods, then the end decision.
    const std::string expected =
        repeat("C", 6) + repeat(repeat("B", 10) + "C", 30) + repeat("E", 10) + "...|";
    EXPECT_EQ(st.summary(), expected);
    expectCleanFrames(st);

    // The blocks go out in the random scan order, each exactly once.
    std::vector<int> sent;
    for (const AirEvent& e : st.events)
      if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameImageBlock) {
        EXPECT_TRUE(e.frame.payloadCrcOk);
        EXPECT_EQ(e.frame.header.fourLevel, fourLevel);
        sent.push_back(e.frame.header.blockCol + 20 * e.frame.header.blockRow);
      }
    ASSERT_EQ(sent.size(), 300u);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(sent[i], st.state.scanPermutation[i]) << i;

    for (const AirEvent& e : st.events)
      if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameEnd) {
        EXPECT_EQ(e.frame.header.blockCol, 20);
        EXPECT_EQ(e.frame.header.blockRow, 15);
      }
    for (const AirEvent& e : st.events) {
      if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameCallsign) {
        EXPECT_EQ(clean_frame::bytesOf(e.frame.payloadData), "QA1BCD");
      }
    }

    EXPECT_FALSE(st.state.txInProgress);
    EXPECT_EQ(st.state.callsignSendCounter, 0);
    EXPECT_EQ(st.host.pttOpens, 1);
    EXPECT_EQ(st.host.pttCloses, 1);
    EXPECT_EQ(st.host.endings, 1);
  }
}

TEST(Sequencer, HeadAndTailFollowTheSettings) {
  SequencedStation st;
  st.host.callSend = 1;
  st.host.etxData = 3;
  st.host.sources.text = "x";
  st.start(kTxText);
  st.play();
  EXPECT_EQ(st.summary(), "TEEE...|");

  SequencedStation bsr;
  bsr.host.callSend = 12;
  bsr.host.etxData = 1;
  fillList(bsr.state.missingBlockList, 1);
  bsr.state.missingBlockCount = bsr.state.savedMissingBlockCount = 1;
  bsr.start(kTxBsrRequest);
  bsr.play();
  EXPECT_EQ(bsr.summary(), repeat("C", 13) + "RE...|");
}

TEST(Sequencer, BsrRequestSendsEveryEntryLastFirstThenRestoresTheCount) {
  SequencedStation st;
  fillList(st.state.missingBlockList, 12);
  st.state.missingBlockCount = 12;
  st.state.savedMissingBlockCount = 12;
  st.start(kTxBsrRequest);
  EXPECT_EQ(st.state.txBlocksAcross, 3);
  EXPECT_EQ(st.state.txBlocksDown, 3);
  st.play();

  EXPECT_EQ(st.summary(), repeat("C", 6) + repeat("R", 10) + "C" + "RR" + repeat("E", 10) + "...|");
  expectCleanFrames(st);
  std::vector<BlockPosition> requested;
  for (const AirEvent& e : st.events)
    if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameBsrRequest) {
      EXPECT_EQ(e.frame.header.scaleIndex, 0);
      requested.push_back(BlockPosition{e.frame.header.blockCol, e.frame.header.blockRow});
    }
  ASSERT_EQ(requested.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(requested[i], st.state.missingBlockList[11 - i]) << i;
  EXPECT_EQ(st.host.requestCounts, (std::vector<int>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  // "Send 12 BSR" again afterwards.
  EXPECT_EQ(st.state.missingBlockCount, 12);
  EXPECT_EQ(st.host.endings, 1);
}

TEST(Sequencer, BsrResponseSendsTheRequestedBlocks) {
  SequencedStation st;
  fillList(st.state.requestedBlockList, 12);
  st.state.requestedBlockCount = 12;
  st.start(kTxBsrResponse);
  st.play();
  EXPECT_EQ(st.summary(), repeat("C", 6) + repeat("S", 10) + "C" + "SS" + repeat("E", 10) + "...|");
  std::vector<BlockPosition> sent;
  for (const AirEvent& e : st.events)
    if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameBsrResponse) {
      EXPECT_TRUE(e.frame.payloadCrcOk);
      sent.push_back(BlockPosition{e.frame.header.blockCol, e.frame.header.blockRow});
    }
  ASSERT_EQ(sent.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(sent[i], st.state.requestedBlockList[11 - i]);
  EXPECT_EQ(st.host.responseCounts.back(), 0);
  EXPECT_EQ(st.state.requestedBlockCount, 0);
}

TEST(Sequencer, CountOfOneSendsExactlyOneDataFrame) {
  SequencedStation request;
  fillList(request.state.missingBlockList, 1);
  request.state.missingBlockCount = request.state.savedMissingBlockCount = 1;
  request.start(kTxBsrRequest);
  request.play();
  EXPECT_EQ(request.summary(), repeat("C", 6) + "R" + repeat("E", 10) + "...|");

  SequencedStation response;
  fillList(response.state.requestedBlockList, 1);
  response.state.requestedBlockCount = 1;
  response.start(kTxBsrResponse);
  response.play();
  EXPECT_EQ(response.summary(), repeat("C", 6) + "S" + repeat("E", 10) + "...|");
}

TEST(Sequencer, TextTransmissionHasNoCallsignFrames) {
  for (bool fourLevel : {false, true}) {
    SequencedStation st;
    st.state.fourLevelMode = fourLevel;
    st.state.callsignSendCounter = 7;  // left over from an earlier transmission
    st.start(kTxText);
    st.play();
    EXPECT_EQ(st.summary(), "T" + repeat("E", 10) + "...|");
    expectCleanFrames(st);
    EXPECT_EQ(clean_frame::bytesOf(st.events[0].frame.payloadData), "QA1BCD>hi");
    for (const AirEvent& e : st.events)
      if (e.what == AirEvent::kFrame && e.frame.header.kind == kFrameEnd) {
        EXPECT_EQ(e.frame.header.blockCol, 1);
        EXPECT_EQ(e.frame.header.blockRow, 1);
      }
    EXPECT_EQ(st.state.callsignSendCounter, 7);
  }
}

TEST(Sequencer, OperatorStops) {
  // Released during the head: the remaining callsign frames, then abort frames, no blocks.
  SequencedStation head;
  head.start(kTxImage);
  head.play([](SequencedStation& s) {
    if (s.events.size() == 3 && s.state.txInProgress && !s.state.txStopRequested) {
      s.state.txStopRequested = true;
      s.state.txBlockCol = s.state.txBlocksAcross - 1;
      s.state.txBlockRow = s.state.txBlocksDown - 1;
    }
  });
  EXPECT_TRUE(head.state.txStopRequested);
  EXPECT_EQ(head.summary(), repeat("C", 6) + repeat("A", 10) + "...|");

  // Released while the last block is on the air: the end frames become abort frames.
  SequencedStation last;
  last.start(kTxImage);
  last.play([](SequencedStation& s) {
    const std::string sum = s.summary();
    if (!s.state.txStopRequested && std::count(sum.begin(), sum.end(), 'B') == 300) {
      s.state.txStopRequested = true;
      s.state.txBlockCol = s.state.txBlocksAcross - 1;
      s.state.txBlockRow = s.state.txBlocksDown - 1;
    }
  });
  EXPECT_EQ(last.summary(),
            repeat("C", 6) + repeat(repeat("B", 10) + "C", 30) + repeat("A", 10) + "...|");

  // Released "Send BSR" (count set to 1): one more request, then the normal end.
  SequencedStation bsr;
  fillList(bsr.state.missingBlockList, 20);
  bsr.state.missingBlockCount = bsr.state.savedMissingBlockCount = 20;
  bsr.start(kTxBsrRequest);
  bsr.play([](SequencedStation& s) {
    const std::string sum = s.summary();
    if (s.state.missingBlockCount > 1 && std::count(sum.begin(), sum.end(), 'R') == 3)
      s.state.missingBlockCount = 1;
  });
  EXPECT_EQ(bsr.summary(), repeat("C", 6) + "RRRR" + repeat("E", 10) + "...|");
  EXPECT_EQ(bsr.state.missingBlockCount, 20);
}

TEST(Sequencer, PushToTalkReleasedAtTheEndDecisionAndStepsStopAfterwards) {
  SequencedStation st;
  st.host.etxData = 2;
  bool inProgressAtClose = false;
  int silentAtClose = -1;
  int endingsAtClose = -1;
  st.host.onClosePtt = [&] {
    inProgressAtClose = st.state.txInProgress;
    silentAtClose = st.state.silentFrameCount;
    endingsAtClose = st.host.endings;
  };
  startTransmission(st.state, *st.tx, st.host, kTxText);
  EXPECT_EQ(st.host.pttOpens, 1);
  int steps = 0;
  while (st.state.txInProgress && steps < 100) {
    EXPECT_EQ(st.host.pttCloses, 0);
    transmitStep(st.state, *st.tx, st.host);
    ++steps;
  }
  // Released once, when the three silent periods had been played, before the controls.
  EXPECT_EQ(st.host.pttCloses, 1);
  EXPECT_TRUE(inProgressAtClose);
  EXPECT_EQ(silentAtClose, 3);
  EXPECT_EQ(endingsAtClose, 0);
  EXPECT_EQ(st.host.endings, 1);
  EXPECT_TRUE(st.state.txSilent);

  // Text frame + 2 end frames + 3 silent end-frame periods, in buffers after the primed ones.
  const int queued = st.host.buffersQueued;
  EXPECT_EQ(queued, kPrimedBuffers + steps);
  for (int i = 0; i < 5; ++i) transmitStep(st.state, *st.tx, st.host);
  EXPECT_EQ(st.host.buffersQueued, queued);
  EXPECT_EQ(st.host.pttCloses, 1);
  EXPECT_EQ(st.host.endings, 1);
}

TEST(Sequencer, TransmitStepPlaysWhatTheRecorderSees) {
  // The recording loop of these tests and transmitStep give the same audio.
  SequencedStation a, b;
  a.host.keepAudio = b.host.keepAudio = true;
  a.start(kTxText);
  a.play();
  startTransmission(b.state, *b.tx, b.host, kTxText);
  while (b.state.txInProgress) transmitStep(b.state, *b.tx, b.host);
  EXPECT_EQ(a.host.buffersQueued, b.host.buffersQueued);
  EXPECT_EQ(a.host.audio, b.host.audio);
}

TEST(Sequencer, NewCommandDuringATransmissionRestartsWithPreamble) {
  SequencedStation st;
  st.start(kTxImage);
  st.play([](SequencedStation& s) {
    if (s.buffers == 20 && s.state.txKind == kTxImage) {
      const int before = s.host.buffersQueued;
      s.host.sources.text = "again";
      s.start(kTxText);
      EXPECT_EQ(s.host.buffersQueued, before + kPrimedBuffers);
    }
  });
  const std::string sum = st.summary();
  const size_t restart = sum.find('T');
  ASSERT_NE(restart, std::string::npos);
  EXPECT_EQ(sum.substr(restart), "T" + repeat("E", 10) + "...|");
  EXPECT_GT(st.events[restart].frame.preambleBits, 0);
  EXPECT_EQ(st.host.pttOpens, 2);
  EXPECT_EQ(st.host.pttCloses, 1);
}
