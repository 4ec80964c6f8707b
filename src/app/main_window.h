#pragma once
// The main window as a form model: its controls, the pictures it owns, the shared state, the
// settings, and the station's transmitter and receiver. The window layer draws this model and
// forwards events to its handlers; tests and the command-line tool drive it directly.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/controls.h"
#include "app/platform.h"
#include "app/settings.h"
#include "core/shared_state.h"
#include "tx/frame_builders.h"
#include "imaging/picture.h"
#include "rx/receive_host.h"

class AudioBackend;
class DeviceRings;
class MessageQueue;
class PttPort;
class SerialLines;
class StationLoop;
struct ReceiverState;
struct TransmitterState;

inline constexpr const char* kProgramName = "Pelimo";
inline constexpr const char* kProgramVersion = "0.1";

// The devices a station runs on. Without an audio backend nothing is opened and the buffer
// steps are driven by the caller; without serial lines push-to-talk always fails (silently).
struct StationDevices {
  AudioBackend* audio = nullptr;
  SerialLines* serial = nullptr;
};

class TForm1 : public Settings {
 public:
  explicit TForm1(Platform& platform, StationDevices devices = {});
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  Platform& platform;
  SharedState state;

  // --- controls ---
  std::string Caption = kProgramName;
  Button SpeedButton1{"Send Image", true, false, colours::badBlock};
  Button SpeedButton2{"Send BSR", false};
  Button SpeedButton3{"Resp BSR", false};
  Button SpeedButton4{"<", true};
  Button SpeedButton5{">", true};
  Button SpeedButton6{"Send Text", true, false, colours::badBlock};
  Button SpeedButton7{"Delete", true};
  Button SpeedButton8{"Finish RX", false, false, Colour{0, 0, 255}};
  Button SpeedButton9{"Log out", false};
  Button SpeedButton10{"AF Level", true};
  Button SpeedButton11{"To Clipboard", true};
  Button SpeedButton12{"From Clipboard", true};
  Button SpeedButton13{"Settings", true};
  Combo ComboBox1;  // Scale
  Combo ComboBox2{{"Normal (Non)", "Convolution"}, 0};
  Combo ComboBox3{{"MSK", "4L-FSK"}, 0};
  Edit Edit1{"Input Text and Click ->", 510};
  Memo Memo1;
  ImageBox Image1{256, 127, {}, {}};
  ImageBox Image2{40, 30, {}, "Error Display"};
  ImageBox Image3{320, 240, {}, {}};
  Panel Panel4;
  Label Label5{"", Colour{0, 255, 0}, colours::black};
  Label Label9{"", Colour{0, 255, 0}, colours::black};
  Label Label6{"", colours::white, colours::black};
  Label Label8{"", colours::white, colours::black};
  Label Label7;  // TX/RX tab status line
  TabControl TabControl1{{"TX", "RX", "LOG"}, 0};

  // --- pictures ---
  Picture txPicture;
  Picture rxPicture;
  Picture txPreviewPicture;
  Picture browsePicture;
  Picture clipboardPicture;
  Picture eyePicture;
  Picture waterfallPicture;
  Picture errorPicture;

  // --- level meters, level dialog and reception flag ---
  double inputPeak = 0.0;
  double outputPeak = 0.0;
  bool levelDialogShowing = false;
  bool rxImageOpen = false;

  // Takes over the settings fields into the controls and the shared state: combo selections,
  // fourLevelMode, waveLoopMode, browseIndex, txImagePath, gains; clamps every ranged setting
  // (settings_ranges.h). Run after the settings were loaded or changed as a whole.
  void applySettings(const std::string& defaultTxImage = "");
  // The Scale combo's index, kept inside the table.
  int scaleIndex() const;
  double scaleFactor() const { return scaleTable[scaleIndex()]; }
  // Refreshes "Send BSR" and "Resp BSR" from the two block counts.
  void refreshBsrButtons();

  // --- mode selection: set the combo's index, then call its handler, as a selection does ---
  void ComboBox1Change();  // Scale
  void ComboBox2Change();  // Code
  void ComboBox3Change();  // Mode
  // Takes the transmit picture from this file, as a file dropped on the window does. True when
  // the file holds a picture of at least 320 x 240 that the station can send.
  bool loadTransmitImage(const std::string& path);

  // --- operator commands that start or stop a transmission ---
  void SpeedButton1Click();  // "Send Image" toggle (set SpeedButton1.down first, as a click does)
  void SpeedButton2Click();  // "Send BSR" toggle
  void SpeedButton3Click();  // "Resp BSR" toggle
  void SpeedButton6Click();  // "Send Text"
  // Fits a source picture into txPicture (TX tab, "Delete" off; optional progress notice).
  void prepareTransmitPicture(const Picture& source, bool showNotice);
  // The transmit image as the commands take it: the clipboard picture, or the file at
  // txImagePath read by its extension. Empty when missing, unreadable or smaller than 320x240.
  Picture transmitImageSource();

  // --- received-image store ---
  // The automatic save of rxPicture when a reception ends (subject to the store's settings).
  void saveReceivedImage();

  // --- buffer steps (messages 1025 and 1026) ---
  void receiveStep(const int16_t* samples);  // 12000 samples at 48000 Hz
  void transmitStep();
  // Runs every pending device message in arrival order; the number run.
  int pumpMessages();
  // Waits up to `timeout` for a first device message, then runs every pending one; the number
  // run. Time spent waiting in vain counts toward the stalled-output check, so a transmission
  // ends even when neither device reports anything.
  int pumpMessagesWaiting(std::chrono::milliseconds timeout);

  // Frame events of the receiver are passed on to this listener (the frame dispatch of the
  // station, a recorder in tests, or the command-line tool).
  ReceiveHost* frameListener = nullptr;
  // Sees every output buffer the transmitter queues (recording, simulated channels).
  std::function<void(const int16_t* samples, int count)> outputTap;

  TransmitterState& transmitter() { return *tx_; }
  ReceiverState& receiver() { return *rx_; }
  DeviceRings* deviceRings() { return rings_.get(); }
  // Opens the output, then the input device of the current settings (messages on failure).
  void openDevices();
  void closeDevices();

 private:
  class TransmitSide;
  class ReceiveSide;
  class DeviceSide;
  void startCommonTransmission(int txKind);
  void clearSignalDisplay();
  // Stalled-output check: `ms` passed without a played output buffer. A transmission whose
  // output makes no progress for kOutputStallMs is ended and the radio released.
  void outputQuietFor(int ms);
  void outputProgressed() { quietOutputMs_ = 0; }
  bool callsignMissing(Button* toggle);
  void restoreIdleControls();

  StationDevices devices_;
  std::unique_ptr<TransmitterState> tx_;
  std::unique_ptr<ReceiverState> rx_;
  std::unique_ptr<TransmitSide> txSide_;
  std::unique_ptr<ReceiveSide> rxSide_;
  std::unique_ptr<DeviceSide> deviceSide_;
  std::unique_ptr<PttPort> ptt_;
  std::unique_ptr<MessageQueue> messages_;
  std::unique_ptr<DeviceRings> rings_;
  std::unique_ptr<StationLoop> loop_;
  FrameSources frameSources_;
  int quietOutputMs_ = 0;
  int64_t scanSeed_ = 0;  // seed of the last random block order
};
