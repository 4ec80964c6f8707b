#pragma once
// Automatic operation of a station: the block re-send exchange run without presses, the
// free-channel rule every automatic transmission waits for, and the transmit time limit.
// It acts only through the main window's own handlers ("Send BSR", "Resp BSR", the release of
// a lit toggle), so the operator sees the same captions, counts and states as after a press.
// Time is counted in buffers: the receive step and the transmit step call in four times a
// second each.
#include <cstdint>
#include <string>
#include <vector>

#include "rx/free_channel.h"
#include "rx/receive_host.h"

class MainWindow;

class AutoOperation {
 public:
  explicit AutoOperation(MainWindow& station) : station_(station) {}

  // --- hooks of the main window ---
  // After every receive step: the channel check, and whatever waits for it.
  void inputBuffer();
  // After every transmit step: the time limit of the running transmission.
  void outputBuffer();
  // Every valid frame header, after the station's own frame actions.
  void frameHeard(const RxFrameInfo& info);
  // A picture reception closed (end frames, time-out, "Finish RX") with its missing list built.
  void receptionClosed();
  // A send command starts a transmission (pressed by the operator or by this automation).
  void transmissionStarting(int txKind);
  // The operator pressed a transmit command (not this automation): what runs is ended.
  void operatorPressed();
  // True while this automation presses a handler itself.
  bool pressing() const { return pressing_; }

  // --- what it did (shown to the command-line tool and the tests) ---
  struct Start {
    int txKind;
    int64_t inputBuffer;  // input buffers since the station started
  };
  std::vector<Start> starts;  // every automatic transmission, in order
  int requestsSent = 0;
  int answersSent = 0;
  const FreeChannel& channel() const { return channel_; }
  int roundsUsed() const { return round_; }
  // Nothing automatic is waiting: no transmission for a free channel, no answer to a request.
  bool idle() const { return wait_ == Wait::none && !awaitingAnswer_; }

 private:
  enum class Wait { none, request, answer };
  void say(const std::string& line, bool logged);
  void sendWhenFree();
  void press(Wait what);
  void checkAnswer();
  void startRound();
  void pressStop();
  int holdBuffers() const;

  MainWindow& station_;
  FreeChannel channel_;
  int64_t inputBuffers_ = 0;
  Wait wait_ = Wait::none;
  bool waitAnnounced_ = false;
  int waitedBuffers_ = 0;
  // Receiving side: rounds of the held picture, and the wait for the answer to the last one.
  int round_ = 0;
  bool awaitingAnswer_ = false;
  int quietBuffers_ = 0;  // free buffers since the request (or the last frame heard)
  bool pictureWasOpen_ = false;
  bool roundsStopped_ = false;  // no more rounds for the held picture
  // Sending side: the last picture heard on the channel was this station's own.
  bool lastPictureOurs_ = false;
  bool requestListHeard_ = false;
  // The time limit: buffers of the running transmission, and whether "Stop" was pressed.
  int txBuffers_ = 0;
  bool limitStopped_ = false;
  bool pressing_ = false;
};
