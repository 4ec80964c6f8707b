// The frame reader: its frame-bit step on its own, then driven symbol by symbol with ideal
// frequency values through the same receiveSymbol routine the demodulator calls.
#include "rx/frame_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/recording_receive_host.h"
#include "rx/receiver_state.h"
#include "support/rx_test_signal.h"

namespace {

using rxtest::TestFrame;

// Records the frame-bit index at which each payload ended.
struct IndexRecordingHost : RecordingReceiveHost {
  const ReceiverState* rx = nullptr;
  std::vector<int> payloadEndIndex;
  void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool good) override {
    // The step has already advanced past the bit that ended the payload.
    payloadEndIndex.push_back(rx->frame.frameBitIndex() - 1);
    RecordingReceiveHost::onFramePayload(info, payload, good);
  }
};

struct Receiver {
  std::unique_ptr<ReceiverState> rx = std::make_unique<ReceiverState>();
  std::unique_ptr<BitBuffer> payload = std::make_unique<BitBuffer>();
  IndexRecordingHost host;
  Receiver() { host.rx = rx.get(); }

  void symbol(double d) { receiveSymbol(*rx, d, *payload, host); }
  // One bit as an MSK symbol (or as a doubled bit on an outer 4L-FSK tone: the same value).
  void mskBits(const std::vector<uint8_t>& bits) {
    for (uint8_t b : bits) symbol(rxtest::toneValue(b ? 1800 : 1200));
  }
  // Feeds a stream as the modulator would send it.
  void stream(const std::vector<uint8_t>& bits, bool fourLevel) {
    for (double f : rxtest::symbolTones(bits, fourLevel)) symbol(rxtest::toneValue(f));
  }
  void frames(const std::vector<TestFrame>& f, bool fourLevel) {
    stream(rxtest::transmissionBits(f, fourLevel), fourLevel);
  }
};

std::vector<uint8_t> dataWithCheck(const TestFrame& f) {
  std::vector<uint8_t> bits(f.data);
  bits.resize(f.data.size() + 16);
  appendCrc(bits.data(), static_cast<int>(f.data.size()));
  return bits;
}

// Sync word and the 108 header bits of a frame, without its payload.
std::vector<uint8_t> syncAndHeader(const FrameHeader& h) {
  std::vector<uint8_t> bits(syncWord().begin(), syncWord().end());
  const auto coded = encodeHeader(h);
  bits.insert(bits.end(), coded.begin(), coded.end());
  return bits;
}

// The frame-bit step on its own: the header phase reports nothing until its 108th bit, which
// reports the header's verdict; the payload phase reports only its end, once.
TEST(FrameReader, EachPhaseReportsOnlyAtItsLastBit) {
  for (bool fourLevel : {false, true}) {
    const TestFrame f = rxtest::makeFrame(kFrameText, false, fourLevel, 0, 0, 3, 40, 21);
    auto frame = std::make_unique<FrameReaderState>();
    auto payload = std::make_unique<BitBuffer>();
    startFrame(*frame, *payload);
    std::vector<FrameEvent> events;
    auto take = [&](uint8_t bit, bool fourLevelBit) {
      // The value d is an ideal MSK tone; a four-level bit is taken as the hard bit alone.
      const double d = rxtest::toneValue(bit ? 1800 : 1200);
      events.push_back(frameBitStep(*frame, bit, fourLevelBit ? -d : d, fourLevelBit, *payload));
    };
    for (uint8_t b : encodeHeader(f.header)) {
      ASSERT_TRUE(frame->readingHeader());
      EXPECT_EQ(frame->frameBitIndex(), static_cast<int>(events.size()) - 108);
      take(b, false);
    }
    EXPECT_EQ(events.back(), FrameEvent::kHeaderValid);
    EXPECT_FALSE(frame->readingHeader());
    EXPECT_EQ(frame->frameBitIndex(), 0);
    EXPECT_EQ(frame->rxFourLevel, fourLevel);

    for (uint8_t b : rxtest::payloadChannelBits(f)) take(b, fourLevel);
    EXPECT_TRUE(frame->inFrame);
    take(1, fourLevel);
    EXPECT_EQ(events.back(), FrameEvent::kPayloadEnd);
    EXPECT_EQ(events.size(), 108u + 57u);
    EXPECT_EQ(std::count(events.begin(), events.end(), FrameEvent::kNone), 108 + 57 - 2);
    EXPECT_FALSE(frame->inFrame);
    EXPECT_TRUE(frame->payloadGood);
    EXPECT_TRUE(std::equal(payload->cells.begin(), payload->cells.begin() + 56,
                           dataWithCheck(f).begin()));
  }
  // A header that fails reports its drop at the 108th bit and ends the frame.
  FrameHeader h;
  h.version = 1;
  auto frame = std::make_unique<FrameReaderState>();
  auto payload = std::make_unique<BitBuffer>();
  startFrame(*frame, *payload);
  FrameEvent last = FrameEvent::kNone;
  for (uint8_t b : encodeHeader(h)) {
    EXPECT_EQ(last, FrameEvent::kNone);
    last = frameBitStep(*frame, b, rxtest::toneValue(b ? 1800 : 1200), false, *payload);
  }
  EXPECT_EQ(last, FrameEvent::kHeaderDropped);
  EXPECT_FALSE(frame->inFrame);
}

TEST(FrameReader, PlainPayloadEndsOneBitAfterTheLastCheckBit) {
  const TestFrame f = rxtest::makeFrame(kFrameImageBlock, false, false, 7, 3, 5, 100, 1);
  Receiver r;
  r.mskBits(syncAndHeader(f.header));
  ASSERT_EQ(r.host.headers.size(), 1u);
  EXPECT_EQ(r.host.headers[0], (RxFrameInfo{1, false, false, 7, 3, 5, 100}));
  EXPECT_EQ(r.rx->frame.rxScramblerPos, 0);
  EXPECT_EQ(r.rx->frame.frameBitIndex(), 0);

  const auto payload = rxtest::payloadChannelBits(f);
  ASSERT_EQ(payload.size(), 116u);
  r.mskBits(payload);
  EXPECT_TRUE(r.host.payloads.empty());
  EXPECT_TRUE(r.rx->frame.inFrame);
  r.mskBits({0});  // the (L + 17)th bit ends the payload
  ASSERT_EQ(r.host.payloads.size(), 1u);
  EXPECT_EQ(r.host.payloadEndIndex[0], 116);
  EXPECT_TRUE(r.host.payloads[0].crcGood);
  EXPECT_EQ(r.host.payloads[0].bits, dataWithCheck(f));
  EXPECT_FALSE(r.rx->frame.inFrame);
}

TEST(FrameReader, TextFrameNormWithSixtyFourBitsEndsAtIndexEighty) {
  const TestFrame f = rxtest::makeFrame(kFrameText, false, false, 0, 0, 3, 64, 2);
  Receiver r;
  r.frames({f}, false);
  r.mskBits({1});
  ASSERT_EQ(r.host.payloadEndIndex.size(), 1u);
  EXPECT_EQ(r.host.payloadEndIndex[0], 80);
  EXPECT_TRUE(r.host.payloads[0].crcGood);
  EXPECT_EQ(r.host.payloads[0].info.kind, kFrameText);
}

TEST(FrameReader, CodedPayloadTakesTwiceItsBitsPlusOneAndIsFlushed) {
  // The signal ends right after the last coded bit: the end bit carries no information and
  // the decoder is flushed with neutral inputs until all L + 16 bits are out.
  const TestFrame f = rxtest::makeFrame(kFrameCallsign, true, false, 0, 0, 4, 48, 3);
  Receiver r;
  r.mskBits(syncAndHeader(f.header));
  r.mskBits(rxtest::payloadChannelBits(f));
  EXPECT_TRUE(r.host.payloads.empty());
  r.symbol(0.0);
  ASSERT_EQ(r.host.payloads.size(), 1u);
  EXPECT_EQ(r.host.payloadEndIndex[0], 2 * (48 + 16));
  EXPECT_TRUE(r.host.payloads[0].crcGood);
  EXPECT_EQ(r.host.payloads[0].bits, dataWithCheck(f));
  EXPECT_EQ(r.rx->frame.decodedBitCount, 64);
}

TEST(FrameReader, HeaderWithVersionOneIsIgnored) {
  FrameHeader h;
  h.version = 1;
  h.kind = kFrameImageBlock;
  h.payloadLength = 40;
  Receiver r;
  r.mskBits(syncAndHeader(h));
  EXPECT_TRUE(r.host.headers.empty());
  EXPECT_FALSE(r.rx->frame.inFrame);
  EXPECT_EQ(r.rx->frame.payloadLength, 0);
  // The search goes on: a good frame right after is read.
  const TestFrame f = rxtest::makeFrame(kFrameCallsign, false, false, 0, 0, 1, 16, 4);
  r.frames({f}, false);
  r.mskBits({0});
  ASSERT_EQ(r.host.headers.size(), 1u);
  ASSERT_EQ(r.host.payloads.size(), 1u);
  EXPECT_TRUE(r.host.payloads[0].crcGood);
}

TEST(FrameReader, HeaderFailingItsCheckIsDroppedSilently) {
  FrameHeader h;
  h.kind = kFrameImageBlock;
  h.payloadLength = 40;
  auto bits = packHeader(h);
  bits[53] ^= 1;  // wrong check bit
  std::array<uint8_t, 108> coded{};
  convolutionalEncode(bits.data(), 54, coded.data());
  scramble(coded.data(), 108);
  Receiver r;
  r.rx->rxBufferCount = 9;
  r.mskBits(std::vector<uint8_t>(syncWord().begin(), syncWord().end()));
  EXPECT_TRUE(r.rx->frame.inFrame);
  r.mskBits(std::vector<uint8_t>(coded.begin(), coded.end()));
  EXPECT_FALSE(r.rx->frame.inFrame);
  EXPECT_TRUE(r.host.headers.empty());
  EXPECT_EQ(r.rx->rxBufferCount, 9);  // only a valid header restarts the time-out
}

TEST(FrameReader, ValidHeaderRestartsTimeOutCounter) {
  Receiver r;
  r.rx->rxBufferCount = 50;
  r.frames({rxtest::makeFrame(kFrameEnd, false, false, 20, 15, 2, 0, 5)}, false);
  ASSERT_EQ(r.host.headers.size(), 1u);
  EXPECT_EQ(r.rx->rxBufferCount, 0);
}

TEST(FrameReader, EndRequestAndAbortFramesEndAtTheirHeader) {
  for (int kind : {kFrameEnd, kFrameBsrRequest, kFrameAbort}) {
    Receiver r;
    // The transmitter puts a scale index in end frames; the receiver does not take it over.
    const TestFrame f = rxtest::makeFrame(kind, false, false, 20, 15, 9, 0, 6);
    const TestFrame next = rxtest::makeFrame(kFrameCallsign, false, false, 0, 0, 1, 24, 7);
    r.frames({f, f, next}, false);
    r.mskBits({0});
    ASSERT_EQ(r.host.headers.size(), 3u) << kind;
    EXPECT_EQ(r.host.headers[0], (RxFrameInfo{kind, false, false, 20, 15, 0, 0}));
    ASSERT_EQ(r.host.payloads.size(), 1u);
    EXPECT_EQ(r.host.payloads[0].info.kind, kFrameCallsign);
    EXPECT_TRUE(r.host.payloads[0].crcGood);
    EXPECT_EQ(r.host.events, (std::vector<char>{'H', 'H', 'H', 'P'}));
  }
}

TEST(FrameReader, KindsWithoutMeaningReadSeventeenOrThirtyThreeBits) {
  for (bool coded : {false, true}) {
    for (int kind : {7, 15}) {
      FrameHeader h;
      h.kind = kind;
      h.coded = coded;
      h.payloadLength = 100;  // not taken over for these kinds
      h.scaleIndex = 9;
      Receiver r;
      r.mskBits(syncAndHeader(h));
      ASSERT_EQ(r.host.headers.size(), 1u);
      EXPECT_EQ(r.host.headers[0].payloadLength, 0);
      EXPECT_EQ(r.host.headers[0].scaleIndex, 0);
      const int wanted = coded ? 33 : 17;
      r.mskBits(rxtest::randomBits(wanted - 1, 8));
      EXPECT_TRUE(r.host.payloads.empty());
      r.mskBits({1});
      ASSERT_EQ(r.host.payloads.size(), 1u) << kind << coded;
      EXPECT_EQ(r.host.payloads[0].info.kind, kind);
      EXPECT_FALSE(r.rx->frame.inFrame);
    }
  }
}

TEST(FrameReader, LongestPayloadsArriveLongerOnesAreAbandoned) {
  const struct {
    bool coded;
    int length;
    bool arrives;
  } cases[] = {{false, 4080, true}, {false, 4081, false}, {true, 2032, true}, {true, 2033, false}};
  for (const auto& c : cases) {
    const TestFrame f = rxtest::makeFrame(kFrameImageBlock, c.coded, false, 1, 1, 1, c.length, 9);
    Receiver r;
    r.frames({f}, false);
    r.mskBits(rxtest::randomBits(200, 10));
    ASSERT_EQ(r.host.headers.size(), 1u);
    EXPECT_EQ(r.host.payloads.size(), c.arrives ? 1u : 0u) << c.length;
    EXPECT_FALSE(r.rx->frame.inFrame);
    if (c.arrives) {
      EXPECT_TRUE(r.host.payloads[0].crcGood);
      EXPECT_EQ(r.host.payloadEndIndex[0], 4096);
    } else {
      // Abandoned once the index passed 4095: the step at index 4096 was the last one.
      EXPECT_EQ(r.rx->frame.frameBitIndex(), 4097);
    }
  }
}

TEST(FrameReader, PayloadBitErrorsFailTheCheck) {
  const TestFrame f = rxtest::makeFrame(kFrameImageBlock, false, false, 2, 2, 2, 300, 11);
  auto bits = rxtest::transmissionBits({f}, false);
  bits[bits.size() - 50] ^= 1;
  Receiver r;
  r.stream(bits, false);
  r.mskBits({0});
  ASSERT_EQ(r.host.payloads.size(), 1u);
  EXPECT_FALSE(r.host.payloads[0].crcGood);
}

TEST(FrameReader, SyncClearsPayloadBufferCellsButNotItsCursor) {
  Receiver r;
  r.payload->cells.fill(1);
  r.payload->cursor = 77;
  r.mskBits(std::vector<uint8_t>(syncWord().begin(), syncWord().end()));
  EXPECT_TRUE(r.rx->frame.inFrame);
  EXPECT_EQ(r.rx->frame.frameBitIndex(), -108);
  for (uint8_t c : r.payload->cells) ASSERT_EQ(c, 0);
  EXPECT_EQ(r.payload->cursor, 77);
}

TEST(FrameReader, FourLevelFramesBackToBackPlainAndCoded) {
  // L + 16 even (ends on the first bit of a pair, the second goes to the sync search), odd
  // (padded with three zeros), and coded.
  for (bool coded : {false, true}) {
    std::vector<TestFrame> frames = {
        rxtest::makeFrame(kFrameCallsign, coded, true, 0, 0, 5, 48, 12),
        rxtest::makeFrame(kFrameImageBlock, coded, true, 19, 14, 5, 333, 13),
        rxtest::makeFrame(kFrameImageBlock, coded, true, 0, 1, 5, 334, 14),
        rxtest::makeFrame(kFrameEnd, false, true, 20, 15, 5, 0, 15),
    };
    Receiver r;
    r.frames(frames, true);
    ASSERT_EQ(r.host.headers.size(), 4u) << coded;
    ASSERT_EQ(r.host.payloads.size(), 3u) << coded;
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(r.host.payloads[i].crcGood) << i;
      EXPECT_EQ(r.host.payloads[i].bits, dataWithCheck(frames[i])) << i;
      EXPECT_TRUE(r.host.payloads[i].info.fourLevel);
      EXPECT_EQ(r.host.payloads[i].info.coded, coded);
    }
    EXPECT_FALSE(r.rx->frame.rxFourLevel);
  }
}

TEST(FrameReader, FrameEndingOnFirstBitOfPairSendsHardBitToSyncSearch) {
  // L + 16 = 64: the end index falls on the first bit of the symbol after the payload.
  for (double d : {rxtest::toneValue(1400), rxtest::toneValue(1600)}) {
    const TestFrame f = rxtest::makeFrame(kFrameCallsign, false, true, 0, 0, 2, 48, 16);
    Receiver r;
    r.frames({f}, true);
    EXPECT_TRUE(r.rx->frame.rxFourLevel);
    const uint64_t before = r.rx->sync.syncRegister;
    r.symbol(d);  // pair 01 (hard bit 0) or 10 (hard bit 1)
    ASSERT_EQ(r.host.payloads.size(), 1u);
    EXPECT_TRUE(r.host.payloads[0].crcGood);
    EXPECT_FALSE(r.rx->frame.rxFourLevel);
    // Exactly one bit went to the sync search: the one-bit decision of the symbol.
    EXPECT_EQ(r.rx->sync.syncRegister, ((before << 1) | (d >= 0 ? 1u : 0u)) & ((uint64_t{1} << 63) - 1));
    EXPECT_EQ(r.rx->sync.entry(62), d >= 0 ? 1 : 0);
  }
}

TEST(FrameReader, MskFramesBackToBack) {
  std::vector<TestFrame> frames;
  for (int i = 0; i < 6; ++i)
    frames.push_back(rxtest::makeFrame(kFrameImageBlock, i % 2 == 1, false, i, 2 * i, 7, 90 + 37 * i, 20 + i));
  frames.push_back(rxtest::makeFrame(kFrameEnd, false, false, 20, 15, 7, 0, 30));
  Receiver r;
  r.frames(frames, false);
  ASSERT_EQ(r.host.headers.size(), 7u);
  ASSERT_EQ(r.host.payloads.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(r.host.payloads[i].crcGood);
    EXPECT_EQ(r.host.payloads[i].info.col, i);
    EXPECT_EQ(r.host.payloads[i].bits, dataWithCheck(frames[i]));
  }
}

}  // namespace

// An image block frame holding a real macroblock of 303 bits (a later reading of a block is
// taken only when it is one), and its channel bits after the sync word: the header, the
// payload and the bit after it, where the payload ends.
TestFrame blockFrame(bool coded) {
  TestFrame f = rxtest::makeFrame(kFrameImageBlock, coded, false, 3, 3, 7, 0, 0);
  f.data = rxtest::macroblockBits(3, 3, 7);
  f.header.payloadLength = int(f.data.size());
  return f;
}
std::vector<uint8_t> channelAfterSync(const TestFrame& f) {
  std::vector<uint8_t> channel = syncAndHeader(f.header);
  channel.erase(channel.begin(), channel.begin() + kSyncLength);
  const auto payload = rxtest::payloadChannelBits(f);
  channel.insert(channel.end(), payload.begin(), payload.end());
  channel.push_back(0);
  return channel;
}

// A payload read twice (as the coherent receiver does, its own reading and the tolerant one):
// when the first reading fails its check, the second is decoded and, if its check passes,
// replaces the bits and the kept values; a second reading that fails too changes nothing.
// Random bits that pass the check are taken as a text but not as a block, whose bits must also
// be a whole macroblock.
TEST(FrameReader, SecondReadingRescuesOnlyWhereItsCheckPasses) {
  for (bool coded : {false, true}) {
    const TestFrame f = blockFrame(coded);
    const std::vector<uint8_t> channel = channelAfterSync(f);
    const int payloadStart = kCodedHeaderBits;

    // Readings as channel values: a run of 40 payload bits inverted in `damaged` ones.
    auto reading = [&](int from) {
      std::vector<float> v(channel.size());
      for (size_t i = 0; i < channel.size(); ++i) {
        const int at = int(i) - payloadStart - from;
        const bool wrong = from >= 0 && at >= 0 && at < 40;
        v[i] = float((channel[i] ? 50.0 : -50.0) * (wrong ? -1 : 1));
      }
      return v;
    };
    for (int secondDamage : {-1, 120}) {
      auto state = std::make_unique<FrameReaderState>();
      auto bits = std::make_unique<BitBuffer>(), scratch = std::make_unique<BitBuffer>();
      startFrame(*state, *bits);
      const auto first = reading(20), second = reading(secondDamage);
      FrameEvent last = FrameEvent::kNone;
      for (float v : first) last = frameChannelStep(*state, v, *bits);
      ASSERT_EQ(last, FrameEvent::kPayloadEnd) << coded;
      ASSERT_FALSE(state->payloadGood) << coded;
      const BitBuffer failed = *bits;
      const std::vector<float> failedValues(state->payloadSoft.begin(),
                                            state->payloadSoft.begin() + 400);

      const std::span<const float> secondPayload(second.data() + payloadStart,
                                                 second.size() - payloadStart);
      const bool adopted = adoptSecondReading(*state, secondPayload, *scratch, *bits);
      EXPECT_EQ(adopted, secondDamage < 0) << coded;
      EXPECT_EQ(state->payloadGood, adopted) << coded;
      if (adopted) {
        for (size_t i = 0; i < f.data.size(); ++i) ASSERT_EQ(bits->cells[i], f.data[i]) << coded << " " << i;
        // The kept values are now the second reading's: they decode by themselves.
        auto check = std::make_unique<BitBuffer>();
        EXPECT_TRUE(
            decodePayloadSoft(payloadChannelSoft(*state), coded, 303, true, state->decoder, *check));
      } else {
        EXPECT_EQ(bits->cells, failed.cells) << coded;
        EXPECT_TRUE(
            std::equal(failedValues.begin(), failedValues.end(), state->payloadSoft.begin()));
        // Asked to, a failed second reading still leaves its values for combining: each run
        // of damage now lies where the second reading has it.
        EXPECT_FALSE(adoptSecondReading(*state, secondPayload, *scratch, *bits, true)) << coded;
        EXPECT_EQ(state->payloadSoft[25], -failedValues[25]) << coded;
        EXPECT_EQ(state->payloadSoft[130], -failedValues[130]) << coded;
        EXPECT_EQ(state->payloadSoft[300], failedValues[300]) << coded;
      }
    }
  }
  for (const int kind : {kFrameImageBlock, kFrameText}) {
    std::vector<float> clean;
    for (uint8_t c : channelAfterSync(rxtest::makeFrame(kind, true, false, 3, 3, 7, 303, 5)))
      clean.push_back(c ? 50.0f : -50.0f);
    auto state = std::make_unique<FrameReaderState>();
    auto bits = std::make_unique<BitBuffer>(), scratch = std::make_unique<BitBuffer>();
    startFrame(*state, *bits);
    for (size_t i = 0; i < clean.size(); ++i)  // the first reading loses the payload's middle
      frameChannelStep(*state, i > 300 && i < 400 ? -clean[i] : clean[i], *bits);
    const auto second = std::span<const float>(clean).subspan(kCodedHeaderBits);
    EXPECT_EQ(adoptSecondReading(*state, second, *scratch, *bits), kind == kFrameText) << kind;
  }
}

// A payload that lost the signal part-way, read again later from its end: the reading that
// lost it early agrees with nothing and is passed over, and the one that agrees with the later
// reading over a stretch is spliced to it there. Readings that each got a symbol wrong, weakly,
// on the wrong side of any splice, pass summed. A later reading of garbage passes in no way.
TEST(FrameReader, LaterReadingIsSplicedWhereTheReadingsAgree) {
  for (bool coded : {false, true}) {
    const TestFrame f = blockFrame(coded);
    const std::vector<uint8_t> channel = channelAfterSync(f);
    const auto payload = rxtest::payloadChannelBits(f);
    const int n = int(payload.size());
    // Channel values of the payload, confident garbage over [from, to) and a symbol's values
    // from `weak` on weakly wrong (a run the code cannot mend, for a coded payload).
    auto reading = [&](int from, int to, unsigned seed, int weak = -100) {
      std::vector<float> v(n);
      for (int i = 0; i < n; ++i) {
        const bool garbage = i >= from && i < to;
        const bool one = garbage ? ((i * 2654435761u ^ seed * 40503u) >> 7 & 1) : payload[i];
        const bool wrong = i >= weak && i < weak + (coded ? 16 : 2);
        v[i] = (one ? 50.0f : -50.0f) * (wrong ? -0.2f : 1.0f);
      }
      return v;
    };
    enum { kSpliced, kSummed, kLaterLost };
    for (int way : {kSpliced, kSummed, kLaterLost}) {
      const bool laterLost = way == kLaterLost;
      auto state = std::make_unique<FrameReaderState>();
      auto bits = std::make_unique<BitBuffer>(), scratch = std::make_unique<BitBuffer>();
      startFrame(*state, *bits);
      const auto first = way == kSummed ? reading(0, 0, 1, n / 10) : reading(n * 7 / 10, n, 1);
      const auto second = way == kSummed ? first : reading(n / 10, n, 2);
      const auto later = laterLost       ? reading(0, n, 3)
                         : way == kSummed ? reading(0, 0, 4, n * 9 / 10)
                                          : reading(0, n * 3 / 10, 4);
      for (size_t i = 0; i < channel.size() - n - 1; ++i)
        frameChannelStep(*state, channel[i] ? 50.0 : -50.0, *bits);
      FrameEvent last = FrameEvent::kNone;
      for (float v : first) last = frameChannelStep(*state, v, *bits);
      last = frameChannelStep(*state, 50.0, *bits);
      ASSERT_EQ(last, FrameEvent::kPayloadEnd) << coded;
      ASSERT_FALSE(state->payloadGood) << coded;

      EXPECT_EQ(adoptLaterReading(*state, later, {}, second, *scratch, *bits), !laterLost) << coded << way;
      EXPECT_EQ(state->payloadGood, !laterLost) << coded << way;
      for (size_t i = 0; !laterLost && i < f.data.size(); ++i)
        ASSERT_EQ(bits->cells[i], f.data[i]) << coded << " " << i;
    }
  }
}

namespace {

// Feeds a frame's 108 header bits with their boundary values, those of channel bits
// [erasedFrom, erasedTo) erased, and returns the header's verdict.
FrameEvent readHeader(FrameReaderState& state, BitBuffer& bits, const TestFrame& f, int erasedFrom,
                      int erasedTo) {
  startFrame(state, bits);
  state.boundaryValues = true;
  const auto channel = channelAfterSync(f);
  double u = 1.0;  // the value at the sync word's last boundary; a channel bit 1 keeps it
  FrameEvent event = FrameEvent::kNone;
  for (int i = 0; i < kCodedHeaderBits; ++i) {
    u = channel[i] ? u : -u;
    const bool erased = i >= erasedFrom && i < erasedTo;
    frameBoundaryValues(state, erased ? 0.0 : 50.0 * u, erased ? 0.0 : 50.0 * u);
    event = frameChannelStep(state, erased ? 0.0 : channel[i] ? 50.0 : -50.0, bits);
  }
  return event;
}

}  // namespace

// A header lost in a fade is read again once the next sync word shows how long its payload
// was, holding that length with the bits the picture's block headers share; under a length one
// bit off it does not pass, so a block is never placed by a header read under a wrong one. Its
// payload, when damaged, is still handed on as a copy for combining: its reading's bits and
// values, with the frame marked as one whose header was read again.
TEST(FrameReader, ALostHeaderIsReadAgainOnlyUnderItsTrueLength) {
  auto state = std::make_unique<FrameReaderState>();
  auto bits = std::make_unique<BitBuffer>();
  ASSERT_EQ(readHeader(*state, *bits, blockFrame(false), 0, 0), FrameEvent::kHeaderValid);
  const TestFrame lost = rxtest::makeFrame(kFrameImageBlock, false, false, 5, 3, 7, 300, 7);
  ASSERT_EQ(readHeader(*state, *bits, lost, 52, 76), FrameEvent::kHeaderDropped);  // the length
  ASSERT_TRUE(state->headerLost);
  const int channelBits = 300 + kCrcBits;
  for (const int off : {-1, 1, 2}) EXPECT_FALSE(recoverLostHeader(*state, channelBits + off)) << off;
  ASSERT_TRUE(recoverLostHeader(*state, channelBits));
  EXPECT_EQ(state->rxFrameKind, kFrameImageBlock);
  EXPECT_EQ(state->rxBlockCol, 5);
  EXPECT_EQ(state->rxBlockRow, 3);
  EXPECT_EQ(state->payloadLength, 300);
  EXPECT_TRUE(state->headerReadAgain);

  // The payload as read backward, its first 40 channel bits lost (weak, wrong sign).
  const auto sent = rxtest::payloadChannelBits(lost);
  std::vector<float> channel(sent.size());
  for (size_t i = 0; i < sent.size(); ++i) channel[i] = float((sent[i] ? 1 : -1) * (i < 40 ? -4.0 : 50.0));
  auto scratch = std::make_unique<BitBuffer>();
  EXPECT_FALSE(readRecoveredPayload(*state, channel, {}, *scratch, *bits));
  EXPECT_FALSE(state->payloadGood);
  const auto kept = payloadChannelSoft(*state);
  ASSERT_EQ(kept.size(), sent.size());
  const auto data = dataWithCheck(lost);
  for (size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(bits->cells[i], i < 40 ? 1 - data[i] : data[i]) << i;
    ASSERT_EQ(kept[i] < 0, bits->cells[i] == 1) << i;
  }
  startFrame(*state, *bits);
  EXPECT_FALSE(state->headerReadAgain);
}

// In the answer to this station's own re-send request the blocks come in the order asked: a
// lost header is also decoded as each block due next, its position held, so that only its
// check bits need be read; where all of it was lost, a block due whose held copy has the very
// length the next sync word shows is taken unread.
TEST(FrameReader, ALostHeaderOfAnAnswerIsReadAsTheBlockDueNext) {
  auto state = std::make_unique<FrameReaderState>();
  auto bits = std::make_unique<BitBuffer>();
  const TestFrame lost = rxtest::makeFrame(kFrameBsrResponse, false, false, 5, 3, 7, 300, 7);
  const int channelBits = 300 + kCrcBits;
  // Position and length lost, then all of it.
  for (const int erasedFrom : {20, 0}) {
    ASSERT_EQ(readHeader(*state, *bits, blockFrame(false), 0, 0), FrameEvent::kHeaderValid);
    ASSERT_EQ(readHeader(*state, *bits, lost, erasedFrom, 76 + 32 * (erasedFrom == 0)), FrameEvent::kHeaderDropped);
    state->nextBlocks = {ExpectedBlock{6, 3, 302}, ExpectedBlock{5, 3, erasedFrom == 0 ? 300 : -1}};
    for (const int off : {-1, 1}) EXPECT_FALSE(recoverLostHeader(*state, channelBits + off)) << off;
    ASSERT_TRUE(recoverLostHeader(*state, channelBits)) << erasedFrom;
    EXPECT_TRUE(state->rxFrameKind == kFrameBsrResponse && state->rxBlockCol == 5 && state->rxBlockRow == 3);
  }
}
