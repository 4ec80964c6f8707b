#include "app/auto_operation.h"

#include "app/main_window.h"
#include "framing/frame_bits.h"
#include "rx/receiver_state.h"

namespace {

constexpr int kBuffersPerSecond = 4;
// After the time limit's "Stop", the end or abort frames still go out; a transmission that has
// not ended this much later is ended at once.
constexpr int kStopGraceBuffers = 30 * kBuffersPerSecond;

}  // namespace

int AutoOperation::holdBuffers() const { return station_.settings.channelHold * kBuffersPerSecond; }

void AutoOperation::say(const std::string& line, bool logged) {
  station_.statusLine.caption = line;
  if (logged) station_.addMessageLogLine(line);
}

void AutoOperation::inputBuffer() {
  MainWindow& s = station_;
  ++inputBuffers_;
  // The station's own signal is not the channel's: the hold starts again after it.
  if (s.state.txInProgress) {
    channel_.restart();
    return;
  }
  const ReceiverState& rx = s.receiver();
  channel_.update(rx.input.decimatedBlock.data(), kBlockSamples, rx.frame.inFrame,
                  rx.frame.syncWordsFound);
  // A new picture: the rounds start afresh, and nothing is asked for the old one any more.
  if (s.rxImageOpen && !pictureWasOpen_) {
    round_ = 0;
    roundsStopped_ = false;
    awaitingAnswer_ = false;
    if (wait_ == Wait::request) wait_ = Wait::none;
  }
  pictureWasOpen_ = s.rxImageOpen;
  if (!s.settings.autoBsr) {
    wait_ = Wait::none;
    awaitingAnswer_ = false;
    return;
  }
  if (awaitingAnswer_) checkAnswer();
  sendWhenFree();
}

void AutoOperation::checkAnswer() {
  MainWindow& s = station_;
  if (s.state.awaitingBsrReply) {
    // Time without an answer counts only while the channel is free: a busy channel may hold
    // the answer back.
    quietBuffers_ = channel_.busy() ? 0 : quietBuffers_ + 1;
    if (quietBuffers_ >= s.settings.autoBsrTimeout * kBuffersPerSecond) {
      awaitingAnswer_ = false;
      roundsStopped_ = true;
      say("Auto BSR: no answer, stopped", true);
    }
    return;
  }
  // The answer's end frames have come.
  awaitingAnswer_ = false;
  const int missing = s.state.missingBlockCount;
  if (missing <= 0) {
    say("Auto BSR: the picture is complete", true);
  } else if (round_ >= s.settings.autoBsrRounds) {
    say("Auto BSR: " + std::to_string(round_) + " rounds used, " + std::to_string(missing) +
            " blocks still missing",
        true);
  } else {
    startRound();
  }
}

void AutoOperation::receptionClosed() {
  if (!station_.settings.autoBsr || awaitingAnswer_ || wait_ == Wait::request) return;
  if (round_ == 0 && !roundsStopped_) startRound();
}

void AutoOperation::startRound() {
  MainWindow& s = station_;
  if (s.state.missingBlockCount <= 0 || !s.sendBsrButton.enabled) return;
  ++round_;
  wait_ = Wait::request;
  waitAnnounced_ = false;
  waitedBuffers_ = 0;
}

void AutoOperation::sendWhenFree() {
  if (wait_ == Wait::none || station_.state.txInProgress) return;
  if (!channel_.freeFor(holdBuffers())) {
    // Every wait lasts the hold time; only a longer one (a busy channel) goes to the log.
    const bool longWait = ++waitedBuffers_ > holdBuffers() + kBuffersPerSecond;
    say("Auto BSR: waiting for a free channel", longWait && !waitAnnounced_);
    waitAnnounced_ = waitAnnounced_ || longWait;
    return;
  }
  press(wait_);
}

void AutoOperation::press(Wait what) {
  MainWindow& s = station_;
  wait_ = Wait::none;
  // What would stop a press with a modal box (no callsign, no picture to answer from) is told
  // in the message log instead: the automation runs inside a buffer step.
  const bool noPicture = what == Wait::answer && s.transmitImageSource().empty();
  if (s.settings.callsign.empty() || noPicture) {
    roundsStopped_ = roundsStopped_ || what == Wait::request;
    say(noPicture ? "Auto BSR: no picture to answer from, stopped" : "Auto BSR: no callsign set, stopped", true);
    return;
  }
  pressing_ = true;
  if (what == Wait::request) {
    s.sendBsrButton.down = true;
    s.sendBsrClicked();
  } else {
    s.respBsrButton.down = true;
    s.respBsrClicked();
  }
  pressing_ = false;
  if (!s.state.txInProgress) {
    roundsStopped_ = roundsStopped_ || what == Wait::request;
    say("Auto BSR: nothing could be sent, stopped", true);
    return;
  }
  if (what == Wait::request) {
    ++requestsSent;
    awaitingAnswer_ = true;
    quietBuffers_ = 0;
    say("Auto BSR: round " + std::to_string(round_) + " of " + std::to_string(s.settings.autoBsrRounds) +
            ", " + std::to_string(s.state.savedMissingBlockCount) + " blocks",
        true);
  } else {
    ++answersSent;
    say("Auto BSR: answering " + std::to_string(s.state.requestedBlockCount) + " blocks", true);
  }
}

void AutoOperation::frameHeard(const RxFrameInfo& info) {
  MainWindow& s = station_;
  if (s.state.txInProgress) return;  // the station's own frames (wave loop mode)
  if (info.kind == kFrameImageBlock || info.kind == kFrameBsrResponse) lastPictureOurs_ = false;
  if (info.kind == kFrameBsrRequest) requestListHeard_ = true;
  if (info.kind != kFrameEnd || !requestListHeard_) return;
  requestListHeard_ = false;
  if (!s.settings.autoBsr || s.state.requestedBlockCount <= 0) return;
  // A request names no station: it is ours to answer only right after our own picture.
  if (!lastPictureOurs_) {
    say("Auto BSR: a request after another station's picture is not answered", true);
    return;
  }
  wait_ = Wait::answer;
  waitAnnounced_ = false;
  waitedBuffers_ = 0;
}

void AutoOperation::transmissionStarting(int txKind) {
  txBuffers_ = 0;
  limitStopped_ = false;
  channel_.restart();
  if (txKind == kTxImage) lastPictureOurs_ = true;
  if (pressing_) starts.push_back({txKind, inputBuffers_});
}

void AutoOperation::operatorPressed() {
  if (wait_ != Wait::none || awaitingAnswer_) say("Auto BSR: stopped by the operator", true);
  wait_ = Wait::none;
  awaitingAnswer_ = false;
  roundsStopped_ = true;
}

void AutoOperation::outputBuffer() {
  MainWindow& s = station_;
  if (!s.state.txInProgress) return;
  ++txBuffers_;
  const int limit = s.settings.txTimeLimit * 60 * kBuffersPerSecond;
  if (limit <= 0) return;
  if (!limitStopped_ && txBuffers_ >= limit) {
    limitStopped_ = true;
    s.addMessageLogLine("Transmit time limit of " + std::to_string(s.settings.txTimeLimit) +
                        " min reached: the transmission is stopped");
    pressStop();
  } else if (limitStopped_ && txBuffers_ >= limit + kStopGraceBuffers) {
    s.releaseRadio();
    s.addMessageLogLine("The transmission did not end after \"Stop\": the radio was released");
  }
}

// Releases the lit toggle of the running transmission, as the operator's "Stop" does.
void AutoOperation::pressStop() {
  MainWindow& s = station_;
  pressing_ = true;
  switch (s.state.txKind) {
    case kTxImage:
      s.sendImageButton.down = false;
      s.sendImageClicked();
      break;
    case kTxBsrRequest:
      s.sendBsrButton.down = false;
      s.sendBsrClicked();
      break;
    case kTxBsrResponse:
      s.respBsrButton.down = false;
      s.respBsrClicked();
      break;
    default:
      break;  // a text is one frame: the grace time ends it if anything does
  }
  pressing_ = false;
}
