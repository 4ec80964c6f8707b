#pragma once
// Reads one frame after its sync word, one bit at a time, in two phases. Header phase: the 108
// coded header bits are descrambled and Viterbi-decoded; the 108th ends the phase, the 54-bit
// header is checked and unpacked. Payload phase: the payload (plain or coded, one or two bits
// per symbol) is collected up to the length the header gives, then checked. Payload bits are
// written into the caller's bit buffer (the cells only; its cursor is left alone).
#include <array>
#include <cstdint>
#include <span>

#include "framing/carrier_sign_decoder.h"
#include "framing/frame_bits.h"
#include "framing/viterbi.h"
#include "core/bit_buffer.h"

// A block the host expects next: its position, and its payload length where a failed copy of it
// is held (else -1).
struct ExpectedBlock {
  int col = -1;
  int row = -1;
  int payloadLength = -1;
};

struct FrameReaderState {
  bool inFrame = false;
  unsigned syncWordsFound = 0;  // frames started since the program started (free-channel check)
  bool rxFourLevel = false;  // payload symbols carry two bits
  int headerBitCount = 0;    // coded header bits taken, 0..108; 108 once the header has ended
  int payloadBitIndex = 0;   // index of the next payload channel bit
  int rxScramblerPos = 0;
  int decodedBitCount = 0;
  std::array<uint8_t, kHeaderBits> headerBits{};
  int payloadLength = 0;  // L, data bits before the payload check
  int rxFrameKind = 0;
  bool rxConvolutional = false;
  int rxBlockCol = 0;
  int rxBlockRow = 0;
  int rxScaleIndex = 0;
  int headerVersion = 0;
  bool headerFourLevel = false;  // the header's four-level flag (rxFourLevel clears at the end)
  bool payloadGood = false;  // verdict of the last payload check
  ViterbiDecoder decoder;
  // The payload's channel bits after descrambling, as decoder inputs (positive for 0, the
  // magnitude the confidence, not yet truncated), one per channel bit up to the buffer's size.
  // They let a failed payload be combined with another copy of it and decoded again.
  std::array<float, kMaxPayloadChannelBits> payloadSoft{};
  // With `boundaryValues` (set at the frame's start) the reader is also handed the value at the
  // end boundary of every two-tone symbol (log-likelihood ratio, positive for +1) as two
  // readings give it, and a coded run of such symbols is decoded from the first reading's
  // values first (carrier_sign_decoder.h), then from the second's, from the channel bits only
  // when both fail their check.
  bool boundaryValues = false;
  std::array<std::array<float, kCodedHeaderBits>, 2> headerValues{};
  std::array<std::array<float, kMaxPayloadChannelBits>, 2> payloadValues{};
  int headerEndSign = 0;  // the value at the header's last boundary, 0 when not known
  // The header bits the next block frame should share with the last block header read (none
  // before the first): a header whose boundary decoding fails its check is decoded once more
  // with them held, which reads some weak headers that decoding freely loses.
  KnownBits expectedBlockHeader{};
  // The last header failed its check (and was decoded from boundary values): with the length
  // its payload turns out to have, it may be read once more (recoverLostHeader).
  bool headerLost = false;
  bool headerReadAgain = false;  // the frame's header is one recoverLostHeader read
  // The re-sent blocks due next, where the host knows them: the answer to its own block re-send
  // request comes in the order it asked. A lost header that the shared bits and its length
  // alone do not read is tried as each of them in turn. Entries with a negative column are
  // unused; the host keeps them, the frame reader never changes them.
  std::array<ExpectedBlock, 2> nextBlocks{};
  CarrierSignDecoder signDecoder;
  std::array<uint8_t, CarrierSignDecoder::kMaxSteps> signDecoded{};

  bool readingHeader() const { return headerBitCount < kCodedHeaderBits; }
  // The position of the next bit counted as one run from the sync word: -108..-1 for the
  // coded header bits, then 0 and up for the payload bits.
  int frameBitIndex() const {
    return readingHeader() ? headerBitCount - kCodedHeaderBits : payloadBitIndex;
  }
};

// What a frame-bit step finished, if anything.
enum class FrameEvent {
  kNone,
  kHeaderDropped,  // header check failed or version not 0; the frame has ended
  kHeaderValid,    // the header fields are in the state; a payload may follow
  kPayloadEnd,     // the payload is in the bit buffer, payloadGood holds the verdict
};

// Opens a frame at a sync match: the next bit is the first coded header bit.
void startFrame(FrameReaderState& state, BitBuffer& payloadBits);

// Takes one bit of an open frame, in the header or the payload phase. `bit` is the decided bit
// and d the symbol's frequency value; `fourLevelBit` tells whether the bit came from a
// four-level symbol.
FrameEvent frameBitStep(FrameReaderState& state, int bit, double d, bool fourLevelBit,
                        BitBuffer& payloadBits);

// Hands in the values at the end boundary of the two-tone symbol whose channel bit comes next,
// by the first and the second reading (see boundaryValues); call before frameChannelStep.
void frameBoundaryValues(FrameReaderState& state, double first, double second);

// Takes one channel bit given as a signed confidence (positive for 1, magnitude as the
// Viterbi decoder's soft input, truncated toward zero); frameBitStep is this with the
// frequency value times 100 for an MSK bit and +-1 for a four-level bit.
FrameEvent frameChannelStep(FrameReaderState& state, double channelSoft, BitBuffer& payloadBits);

// The channel bits of the last payload: (L + 16) values, twice that for a coded payload.
std::span<const float> payloadChannelSoft(const FrameReaderState& state);

// True for the kinds whose payload is one macroblock (an image block or a re-sent one).
inline bool kindCarriesBlock(int kind) {
  return kind == kFrameImageBlock || kind == kFrameBsrResponse;
}

// Whether a payload decoded in any way besides the reading the frame reader makes as it goes
// (the boundary values' best paths, a second, backward or spliced reading, copies combined) is
// taken: its check must pass and, for a block, its data bits must be one whole macroblock
// (isWholeMacroblock). Each such decoding of a failed payload is one more chance of 2^-16 that
// wrong bits pass the check, and at the edge of reception, where most frames fail and each is
// decoded up to five times, a few wrong blocks got through. Random bits make a whole macroblock
// about once in 600. Texts and callsigns have no such shape and rely on the check alone.
bool laterReadingPasses(std::span<const uint8_t> bitsWithCheck, bool block);

// Decodes a payload once more from its descrambled channel values (as payloadSoft holds them):
// the Viterbi decoder for a coded payload, the sign for a plain one. Writes the L data bits and
// the 16 check bits into `bits` and returns laterReadingPasses for them. `decoder` is reset
// first.
bool decodePayloadSoft(std::span<const float> soft, bool coded, int payloadLength, bool block,
                       ViterbiDecoder& decoder, BitBuffer& bits);

// Whether a coded payload's decoding explains the descrambled channel values it came from:
// coded again, its channel bits may disagree in sign only with values that hold a small share
// of the values' total weight. A right decoding of copies the code can still correct stays
// well inside that share (about 0.06 at the weakest copies it decodes); a wrong path through
// copies too noisy to decode, which passed the check by chance, mostly lies far outside it.
bool codedDecodingFits(std::span<const float> soft, std::span<const uint8_t> bitsWithCheck);

// Decodes another reading of the last payload, `channel` holding its channel values (positive
// for 1) in the order received. When its check passes, its bits and values replace the
// payload's and the verdict turns good. Otherwise only with `keepValues` do its values replace
// the payload's (they are the ones kept for combining with another copy). `scratch` is working
// space.
bool adoptSecondReading(FrameReaderState& state, std::span<const float> channel, BitBuffer& scratch,
                        BitBuffer& payloadBits, bool keepValues = false);

// A frame whose header failed its check, once the next sync word shows that its payload took
// `channelBits` channel bits: the header is decoded again holding, besides the bits a
// picture's block headers share, the payload length that many bits give under the held code,
// from each reading's boundary values and then from `laterHeaderValues` (a reading made later,
// backward, of unknown carrier sign).
// True, with the header's fields set as a valid header sets them, when its check passes and
// it is an image or re-sent block inside the picture. Failing that, it is decoded as each of
// nextBlocks in turn, every field held (as a re-sent block there), so only its check bits are
// read from the signal. Each such attempt is up to four more chances of 2^-16 for a wrong
// header to pass; under a wrong length its payload then fails its own check. Where even the
// check bits are lost in the fade, a block due next whose held copy has this very payload
// length is taken as the frame's header unread (headerEndSign 0). That is wrong only where the
// sender skipped the block due (it missed that request) and the block it sent instead has the
// same length; a damaged payload of it then still meets the kept copy's test of strangers.
// headerLost stays set for further attempts; the caller clears it.
bool recoverLostHeader(FrameReaderState& state, int channelBits,
                       std::span<const float> laterHeaderValues = {});

// A frame whose sync word was missed (lost in a fade) where one was due: its header is taken
// as lost with nothing of it read, for recoverLostHeader from the backward reading once the
// next word shows the frame's length. False (nothing changed) where no picture's two-tone
// blocks are expected, or the reader is not handed boundary values (a header that fails is
// then never read again either).
bool takeHeaderAsLost(FrameReaderState& state);

// The payload of a recovered frame, from a reading of it (`channel` as for adoptSecondReading,
// `laterEnds` its boundary values as for adoptLaterReading): a coded payload from the boundary
// values first, then from the channel values. Returns the verdict, which payloadGood holds too.
// A failed payload leaves the channel values' decoding in payloadBits and the values kept for
// combining.
bool readRecoveredPayload(FrameReaderState& state, std::span<const float> channel,
                          std::span<const float> laterEnds, BitBuffer& scratch,
                          BitBuffer& payloadBits);

// Decodes a reading of the last payload made later, from its end (`later`, channel values as
// for adoptSecondReading; `laterEnds`, its values at the symbols' end boundaries, as
// frameBoundaryValues takes them): a coded payload from the boundary values first, then from
// the channel values alone, and failing that spliced to an earlier reading, the kept values or
// the second reading (`second`, as received). A spliced reading takes the earlier
// one up to the middle of the longest stretch where the two agree in sign (a reading that lost
// the signal agrees with nothing) and the later one after it; the earlier reading with the
// longer such stretch goes first. Then the kept and the later reading are summed, evenly and
// leaning twice as much on either. A passing reading replaces the bits and the kept values and
// turns the verdict good. When all fail, the kept values (for combining with other copies)
// become the even sum. Each check tried is one more chance for wrong bits to pass: six at
// most, ten for a coded payload (the boundary values' best four paths); each is held to
// laterReadingPasses.
bool adoptLaterReading(FrameReaderState& state, std::span<const float> later,
                       std::span<const float> laterEnds, std::span<const float> second,
                       BitBuffer& scratch, BitBuffer& payloadBits);

// Closes the frame without further reading (the next bits go back to the sync search).
inline void endFrame(FrameReaderState& state) {
  state.inFrame = false;
  state.rxFourLevel = false;
}

// True for the kinds whose header carries a scale index and a payload length (text, image
// block, re-sent block, callsign).
inline bool kindHasPayload(int kind) {
  return kind == kFrameText || kind == kFrameImageBlock || kind == kFrameBsrResponse ||
         kind == kFrameCallsign;
}
// End, BSR request and abort frames end with their header.
inline bool kindEndsAtHeader(int kind) {
  return kind == kFrameEnd || kind == kFrameBsrRequest || kind == kFrameAbort;
}
