#pragma once
// The main window as a form model: its controls, the pictures it owns, the shared state, the
// settings, and the station's transmitter and receiver. The window layer draws this model and
// forwards events to its handlers; tests and the command-line tool drive it directly.
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/dialogs/device_notice.h"
#include "app/dialogs/gallery_dialog.h"
#include "app/dialogs/first_start_page.h"
#include "app/dialogs/level_dialog.h"
#include "app/dialogs/settings_dialog.h"
#include "app/platform.h"
#include "app/settings.h"
#include "core/program_version.h"
#include "core/shared_state.h"
#include "displays/waterfall.h"
#include "tx/frame_builders.h"
#include "imaging/picture.h"
#include "imaging/picture_result.h"
#include "rx/receive_host.h"

class AudioBackend;
class AutoOperation;
class DeviceRings;
class FailedBlockCopies;
class MessageQueue;
class NetworkReports;
class PttPort;
class RigControl;
class SerialLines;
class StationLoop;
struct PictureRecord;
struct ReceiverState;
struct TransmitterState;

inline constexpr const char* kProgramName = "Pelimo";
inline constexpr const char* kMessageLogFileName = "messages.log";
inline constexpr int kRecentPictureCount = 5;
// Goes before every received text in messages.log.
inline constexpr const char* kReceivedTextMark = "received: ";
enum class MessageLogSource { station, air };
inline constexpr const char* kImageTooSmallMessage =
    "Image size is too small.The size is 320x240 or more.";
// Shown instead when there is no picture to send at all (a new station's first try).
inline constexpr const char* kNoImageChosenMessage =
    "No picture is chosen to send. Drop a .jpg, .png or .bmp file of at least 320x240 on the "
    "window, press Ctrl+O to choose one, or copy a picture and press \"From Clipboard\".";

// Over the empty picture area until a picture to send is chosen.
inline constexpr const char* kChoosePictureHint =
    "Drop a .jpg, .png or .bmp picture here, press Ctrl+O to open one, or copy a picture and press "
    "\"From Clipboard\".";

// A picture of at least 320 x 240 can be fitted and sent.
inline bool largeEnoughToSend(const Picture& p) {
  return p.width() >= kPictureWidth && p.height() >= kPictureHeight;
}
// textEdit's text until the operator clicks into it; "Send Text" never sends it.
inline constexpr const char* kTextPrompt = "Input Text and Click ->";

// The devices a station runs on. Without an audio backend nothing is opened and the buffer
// steps are driven by the caller; without serial lines push-to-talk always fails (silently).
struct StationDevices {
  AudioBackend* audio = nullptr;
  SerialLines* serial = nullptr;
  // Called on a device thread after every posted device message, so a window system's event
  // loop can wake and run pumpMessages() on the main thread.
  std::function<void()> wakeUp = nullptr;
  // A receiving station (pelimo-cli listen): the play device is never opened and push-to-talk
  // never keyed; rig control, when set, only reads the frequency.
  bool receiveOnly = false;
};

// What a station without a window (the command-line tool) is told about its reception: a
// received text as it reaches the message log, and each picture reception as it closes (end
// frames, time-out or "Finish RX", after the automatic save). Both do nothing by default.
class StationObserver {
 public:
  virtual void textReceived(const std::string& line) {}
  virtual void receptionClosed() {}

 protected:
  ~StationObserver() = default;
};

// The picture tabs, in their order on the window.
inline constexpr int kTxTab = 0, kRxTab = 1, kLogTab = 2;

class MainWindow {
 public:
  explicit MainWindow(Platform& platform, StationDevices devices = {});
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  Platform& platform;
  SharedState state;
  // The operator's settings: read from the file at start-up, written back at the close.
  Settings settings;

  // --- controls ---
  std::string caption = kProgramName;
  Button sendImageButton{"Send Image", true, false, colours::badBlock};
  Button sendBsrButton{"Send BSR", false};
  Button respBsrButton{"Resp BSR", false};
  Button previousImageButton{"<", true};
  Button nextImageButton{">", true};
  Button sendTextButton{"Send Text", true, false, colours::badBlock};
  Button deleteImageButton{"Delete", true};
  Button finishRxButton{"Finish RX", false, false, Colour{0, 0, 255}};
  Button logOutButton{"Log out", false};
  Button afLevelButton{"AF Level", true};
  Button toClipboardButton{"To Clipboard", true};
  Button fromClipboardButton{"From Clipboard", true};
  Button settingsButton{"Settings", true};
  Combo scaleCombo;  // Scale
  Combo codeCombo{{"Normal (Non)", "Convolution"}, 0};
  Combo modeCombo{{"MSK", "4L-FSK"}, 0};
  Edit textEdit{kTextPrompt, 510, true, colours::promptGrey};
  Memo messageLog;
  ImageBox signalDisplay{256, 127, {}, {}};
  ImageBox errorMap{40, 30, {}, "Error Display"};
  ImageBox pictureBox{320, 240, {}, {}};
  Panel callsignPanel;
  Label rxScaleLabel{"", Colour{0, 255, 0}, colours::black};
  Label rxKindLabel{"", Colour{0, 255, 0}, colours::black};
  Label rxModeLabel{"", colours::white, colours::black};
  Label rxCodeLabel{"", colours::white, colours::black};
  Label statusLine;  // TX/RX tab status line
  TabControl pictureTabs{{"TX", "RX", "LOG"}, kTxTab};

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
  bool rxImageOpen = false;

  // --- signal displays, level dialog and device notice ---
  // signalDisplay shows a copy of the waterfall or of the eye diagram (settings.showWaterfall
  // chooses), so the clock overlay and a clear never reach those two pictures.
  Picture signalDisplayPicture{signalDisplay.width, signalDisplay.height};
  LevelDialog levelDialog{settings, state};
  DeviceNotice deviceNotice;
  // Over the waterfall, in red, while a sound device failed to open or died: "No sound in",
  // "No sound out" or both; empty once the devices open again (the message log says why).
  Label soundStateLabel{"", Colour{255, 96, 96}, colours::black};
  const bool& levelDialogShowing = levelDialog.visible;
  // The window's place (where it is now) and size, the owner the level dialog centres on.
  FormBounds bounds() const { return {windowTop, windowLeft, 833, 317}; }
  // Fills signalDisplay black; run when a transmission starts.
  void clearSignalDisplay();
  // A click on signalDisplay swaps the waterfall and the eye diagram.
  void signalDisplayClicked();
  // While the level dialog is on screen its meters show inputPeak and outputPeak.
  void refreshLevelMeters();

  // Takes over the settings fields into the controls and the shared state: combo selections,
  // fourLevelMode, waveLoopMode, browseIndex, txImagePath, gains; clamps every ranged setting
  // (settings_ranges.h). Run after the settings were loaded or changed as a whole.
  void applySettings(const std::string& defaultTxImage = "");
  // The Scale combo's index, kept inside the table.
  int scaleIndex() const;
  double scaleFactor() const { return scaleTable[scaleIndex()]; }
  // Refreshes "Send BSR" and "Resp BSR" from the two block counts.
  void refreshBsrButtons();
  void refreshSendBsrButton();
  void refreshRespBsrButton();


  // --- operator commands that start or stop a transmission ---
  void sendImageClicked();  // "Send Image" toggle (set sendImageButton.down first, as a click does)
  void sendBsrClicked();    // "Send BSR" toggle
  void respBsrClicked();    // "Resp BSR" toggle
  void sendTextClicked();   // "Send Text"
  // Fits a source picture into txPicture (TX tab, "Delete" off; optional progress notice).
  void prepareTransmitPicture(const Picture& source, bool showNotice);
  // The transmit image as the commands take it: the clipboard picture, or the file at
  // txImagePath read by its extension. Empty when missing, unreadable or smaller than 320x240.
  Picture transmitImageSource();
  // Why transmitImageSource gave nothing: no picture chosen, one below 320 x 240, or the
  // file's own problem (not a picture, unreadable).
  std::string transmitImageProblem(bool fromClipboard) const;
  // The picture of the file at txImagePath, taken when its name ends in ".jpg", ".jpeg",
  // ".jfif", ".png" or ".bmp" (in any case); empty when missing, unreadable or of another type.
  Picture transmitFilePicture() const;
  PictureResult readTransmitFile() const;

  // --- mode selection and transmit-time estimate (transmit_estimate.cpp) ---
  // Set the combo's index, then call its handler, as a selection does.
  void scaleChanged();  // Scale: estimates again from the file or the clipboard
  void codeChanged();   // Code: recomputes the time line
  void modeChanged();   // Mode: fourLevelMode, then the time line
  // Takes the transmit picture from this file, as a file dropped on the window does (ignored
  // while transmitting). True when the file held a picture of at least 320 x 240, now coded
  // into txPicture and txPreviewPicture.
  bool loadTransmitImage(const std::string& path);
  // Codes the picture of txImagePath (or of the clipboard) once to learn txCodedBits, shows
  // how the receiver will see it and sets the time line. True when a picture was coded.
  bool fileEstimate();
  bool clipboardEstimate();
  // txTimeText from txCodedBits and the Mode and Code selections; " (Clip)" or " (File)".
  void updateTxTimeText(bool fromClipboard);
  // The transmit-time estimate of the coded picture in seconds (0 before the first estimate).
  double estimatedTransmitSeconds() const;
  // The air time of one frame of this many payload bits in the current Mode and Code.
  double estimatedFrameSeconds(int payloadBits) const;

  // --- how far a transmission or a reception has come (transfer_progress.cpp) ---
  // Shown beside the tabs, outside the specified controls: blocks sent of the transmission's
  // total and the time left while transmitting, blocks held of 300 while a picture arrives.
  ProgressLine transferProgress() const;
  // Blocks of the received picture marked as held in the block map.
  int receivedBlocksHeld() const;

  // --- reception: frame dispatch and lifecycle (frame_dispatch.cpp, reception.cpp) ---
  // What every valid frame header and every finished payload does to the received picture,
  // the block lists, the labels and the time-out.
  void frameHeaderActions(const RxFrameInfo& info);
  // `payloadSoft` holds the payload's descrambled channel values (for combining copies).
  void framePayloadActions(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood,
                           std::span<const float> payloadSoft);
  // A failed image block is added to the damaged copy kept of it (same picture, scale, code and
  // length) and decoded once more; when the sum passes its check the block counts as received
  // good. On by default; off, every copy stands alone.
  bool combineDamagedCopies = true;
  int blocksMadeWholeByCombining = 0;  // since start-up
  // Opens the reception of a new picture: black picture and error map, RX tab, empty map.
  void startImageReception();
  // Ends a reception without end frame (time-out, "Finish RX"): missing list, save if an
  // image was open, BSR buttons, labels cleared.
  void finishReception();
  void finishRxClicked();  // "Finish RX"
  // Lists the blocks of the received picture still missing ("Send BSR" asks for them).
  void relistMissingBlocks();
  // Tells the receiver which re-sent blocks come after entry `index` of the missing list (-1:
  // the first; kBlockCount: none). The answer to this station's request sends them in the
  // list's order, so a header lost in a fade can still be read as the block due there.
  void expectReSentBlocksAfter(int index);

  // --- received-image store (received_image_store.cpp) ---
  // The folder that holds the store folder AutoSave/, as the file locations choose it. While
  // it is empty the station keeps no store: nothing is saved, listed or deleted.
  std::string dataFolder;
  bool browseShown = false;        // a stored image is on display on the LOG tab
  std::string storedImageName;     // its file name without ".jpg"; empty when none
  std::string storedImageFile;     // its file name as it is in the folder; empty when none
  std::string storedImageCaption;  // its status-line text; empty until an image was shown
  std::string lastSavedPath;       // full path of the file of the last automatic save
  // dataFolder + "/AutoSave", or empty without a data folder.
  std::string storeFolder() const;
  // The automatic save of rxPicture when a reception ends (subject to the store's settings).
  void saveReceivedImage();
  // What the last automatic save did, in words: "saved PATH" or why nothing was saved.
  std::string lastSaveOutcome;
  // The last picture or settings file that could not be written or deleted, in one line;
  // empty while every write succeeded. A station without a window fails on it.
  std::string lastFileProblem;
  // Keeps the message as lastFileProblem and shows it without stopping the station.
  void reportFileProblem(const std::string& message);
  // Shows the stored image at browseIndex on the LOG tab, keeping the index within the list.
  void showStoredImage();
  // Deletes stored images older than settings.deleteAfterDays days.
  void deleteOldImages();
  void previousImageClicked();  // left arrow: previous stored image
  void nextImageClicked();      // right arrow: next stored image
  void deleteImageClicked();    // "Delete" the stored image on display
  void toClipboardClicked();    // "To Clipboard": the picture of the current tab
  void fromClipboardClicked();  // "From Clipboard": the transmit picture from the clipboard
  void pictureTabChanged();     // set pictureTabs.index, then call, as a tab click does
  // "From : " and the sender's callsign, cleaned for display (it came from the air).
  std::string senderCaption() const;
  // The record saved beside the picture received last (picture_record.h), with its blocks held.
  PictureRecord receivedPictureRecord(int blocksHeld) const;
  // The header of the picture block received last: the picture's mode, code and scale.
  RxFrameInfo pictureBlockHeader;

  // --- the gallery of stored pictures (gallery_dialog.h), a window of its own ---
  GalleryDialog gallery{platform, [this](const std::string& path) { return loadTransmitImage(path); }};
  void galleryClicked();  // the picture's context menu "Gallery..." and Ctrl+G

  // --- operator commands, window messages, start-up and shut-down, log export ---
  // (operator_commands.cpp, window_messages.cpp, station_lifecycle.cpp, log_export.cpp)

  // The settings dialog, shown modally through the platform by the callsign check and
  // "Settings" (activation handling follows). The level dialog (levelDialog) does not block: "AF
  // Level" makes it visible and the window layer shows it.
  SettingsDialog settingsDialog;
  // A new station's first-start page (first_start_page.cpp), before anything else.
  FirstStartPage firstStartPage;
  // The window title: the program's name and the own callsign, so that two stations on one
  // desktop can be told apart.
  void refreshCaption();
  // The picture area's prompt: how to choose a picture, while the TX tab has none.
  void refreshPictureHint();
  // The level meters are drawn while the level dialog or the first-start page is on screen.
  bool levelMetersWanted() const { return levelDialog.visible || firstStartPage.visible; }

  int windowTop = 0;         // window position: created() places it from mainTop/mainLeft,
  int windowLeft = 0;        // the close saves it back
  std::string settingsFile;  // written by closing(); empty: the settings are not saved

  void afLevelClicked();   // "AF Level"
  void settingsClicked();  // "Settings"
  void textEditClicked();
  void messageLogDoubleClicked();
  void keyReleased(int key);  // virtual-key code of the released key ('1', 'T', ...)
  // A file dropped on the window (message 563): the first one becomes the transmit image.
  void filesDropped(std::span<const std::string> paths);

  // --- choosing the picture to send (recent_pictures.cpp) ---
  // Ctrl+O and "Open picture..." in the picture's context menu: the platform's file chooser,
  // then the chosen file becomes the transmit image as a dropped one does. True when it did.
  bool openPictureClicked();
  // The pictures sent last (recentPicture1..5), newest first; one of them taken again.
  std::vector<std::string> recentPictures() const;
  bool openRecentPicture(size_t index);
  // Puts a sent picture's path at the head of the list (once; the oldest falls off).
  void rememberRecentPicture(const std::string& path);

  void created();
  void activated();   // when the window becomes active (first showing, a dialog closed)
  void closing();     // radio released, open reception saved, old images deleted if so set, settings saved
  // Writes the settings with the window's current choices (at the close and at "OK").
  void writeSettings();
  void destroying();  // push-to-talk released, then the input and the output device closed

  // The window messages that drive the station. The device messages come from the rings
  // (pumpMessages); the window layer posts 563 with the dropped paths.
  static constexpr int kDropFilesMessage = 563;
  static constexpr int kInputBufferMessage = 1025;
  static constexpr int kOutputBufferMessage = 1026;
  struct WindowMessage {
    int id = 0;
    const int16_t* samples = nullptr;       // 1025: the 12000 recorded samples
    std::span<const std::string> files;     // 563: the dropped paths
  };
  // Runs the message's handler under guard; false for a message that is not ours (the
  // caller's default handling then takes it).
  bool dispatchMessage(const WindowMessage& message);
  // Runs one handler; an exception escaping it is shown as the standard error box and the
  // program goes on. False when the handler failed. The window layer wraps every event.
  template <class Handler>
  bool runGuarded(Handler&& handler) {
    try {
      handler();
      return true;
    } catch (const std::exception& e) {
      showException(e.what());
    } catch (...) {
      showException(nullptr);
    }
    return false;
  }
  void showException(const char* what);
  // A problem the operator must hear of. While a buffer step runs it goes to the message log
  // (messageLog) and a box that does not stop the station; otherwise it is a modal box.
  void report(const std::string& text, bool beep);
  // The message log line and the box that does not stop the station (device failures, a
  // push-to-talk port that cannot be opened, problems found while receiving).
  void notify(const std::string& text, bool beep);

  // "Log out": the contact's log line to the clipboard and F8 to the logging program, and
  // the contact appended to the ADIF contact log in the data folder.
  void logOutClicked();
  // "Log out" for the contact of the RX (1) or LOG (2) tab. `automatic` (AutoLog): no box is
  // raised; what went wrong goes to the message log.
  void logOut(int tab, bool automatic);
  // dataFolder + "/pelimo.adi", or empty without a data folder.
  std::string contactLogPath() const;
  // Notes the modulation of a received picture, text or callsign frame for the log line.
  void noteReceivedFrame(const RxFrameInfo& info);
  // "Log out" is enabled on the RX tab and with a stored picture on the LOG tab, not on the TX
  // tab nor while transmitting.
  void refreshLogOutButton();
  bool rxLogFourLevel = false;
  bool rxLogConvolutional = false;

  // --- logging programs and reception reports over the network (network_link.cpp) ---
  // Takes over the [Log] settings; run after the settings were loaded or changed.
  void applyNetworkSettings();
  // A picture reception closed (end frame, time-out, "Finish RX") after its automatic save:
  // AutoLog, then the observer.
  void pictureReceptionClosed();
  // A callsign frame arrived with a good check: the heard station for the reception reports.
  void noteHeardCallsign(const RxFrameInfo& info);
  // The station closes: the heard stations still waiting are reported now.
  void closeNetworkReports();

  // --- message log with times (message_log.cpp) ---
  // Adds a line to the message log with its UTC time and appends it to messages.log in the
  // data folder, creating the folder when needed (the start-up lines give way first). A text
  // from the air is marked in the file with kReceivedTextMark.
  void addMessageLogLine(const std::string& line, MessageLogSource source = MessageLogSource::station);
  // A line with its UTC time in the message log on screen only (device and port problems).
  void addStampedLine(const std::string& line);
  std::string messageLogPath() const;


  // --- rig control and the way of keying (rig_link.cpp) ---
  // The rig's frequency, shown under the commands while rig control is on.
  Label rigFrequencyLabel{"", colours::black, Colour{240, 240, 240}};
  // Connects the rig of the [Rig] settings (none when RigModel is 0); run after the settings
  // were loaded or changed.
  void applyRigSettings();
  // The rig's frequency as last read, and its amateur band ("40m"); nothing while rig control
  // is off or the rig does not answer. Neither waits for the rig.
  std::optional<double> rigFrequencyHz() const;
  std::optional<std::string> rigBand() const;
  // The mean signal-to-noise ratio (dB in 2500 Hz) the receiver measured on the good blocks of
  // the picture received last; nothing when it measured none.
  std::optional<double> receivedPictureSnrDb() const;
  // Takes in what the rig control learned: the frequency label, and a rig that stopped
  // answering while keyed ends the transmission with one line in the message log; the label
  // then says that the radio may still be transmitting until the rig answers again. Runs with
  // every pump of the device messages and, in the window, twice a second.
  void checkRig();
  RigControl& rig() { return *rig_; }
  // Adds the good picture block's measure to the picture's signal-to-noise ratio.
  void notePictureSnr(const RxFrameInfo& info, bool crcGood);
  // The message-log line of a transmission that the rig could not key.
  std::string rigNotKeyedLine() const;

  // --- buffer steps (messages 1025 and 1026) ---
  void receiveStep(const int16_t* samples);  // 12000 samples at 48000 Hz
  void transmitStep();
  // Runs every pending device message in arrival order; the number run. Called while a buffer
  // step runs (a nested event loop), it runs nothing: no step ever runs inside another.
  int pumpMessages();
  // Waits up to `timeout` for a first device message, then runs every pending one; the number
  // run. Time spent waiting in vain counts toward the stalled-output check, so a transmission
  // ends even when neither device reports anything.
  int pumpMessagesWaiting(std::chrono::milliseconds timeout);

  // Frame events of the receiver are passed on to this listener after the station's own frame
  // actions (a recorder in tests, the command-line tool's frame log).
  ReceiveHost* frameListener = nullptr;
  StationObserver* observer = nullptr;
  // Sees every output buffer the transmitter queues (recording, simulated channels).
  std::function<void(const int16_t* samples, int count)> outputTap;

  // Automatic BSR, the free-channel rule and the transmit time limit (auto_operation.cpp).
  AutoOperation& autoOperation() { return *auto_; }
  TransmitterState& transmitter() { return *tx_; }
  ReceiverState& receiver() { return *rx_; }
  DeviceRings* deviceRings() { return rings_.get(); }
  // The sound system the devices are opened on; nullptr when the station runs without one.
  AudioBackend* audioBackend() const { return devices_.audio; }
  // Opens the output, then the input device of the current settings (messages on failure).
  void openDevices();
  void closeDevices();

  // The window's wall-clock watchdog, run on its own timer: a transmission whose output device
  // has played nothing for kOutputSilenceLimit is ended, the radio released, the controls
  // restored and the dead output closed, so the next send (or "Settings") opens it again.
  static constexpr std::chrono::milliseconds kOutputSilenceLimit{1750};
  // The limit before the transmission's first buffer has played.
  static constexpr std::chrono::milliseconds kOutputStartLimit{4000};
  void checkOutputStall(std::chrono::steady_clock::time_point now);
  // Ends a running transmission at once and releases the push-to-talk lines (closing the window).
  void releaseRadio();

 private:
  class TransmitSide;
  class ReceiveSide;
  class DeviceSide;
  class StepScope;
  // Runs one buffer step under guard, marked as running.
  void runStep(const std::function<void()>& step);
  // The stalled output was found: end, release, close the output, tell the operator.
  void endStalledTransmission();
  // Keys the radio for a starting transmission; a port that cannot be opened is reported.
  void keyRadio();
  // Without an open play device a send command reopens it; false (with the device's message)
  // when it is still missing, and the command does nothing.
  bool playDeviceReady();
  void startCommonTransmission(int txKind);
  // Stalled-output check: `ms` passed without a played output buffer. A transmission whose
  // output makes no progress for kOutputStallMs is ended and the radio released.
  void outputQuietFor(int ms);
  void outputProgressed() {
    quietOutputMs_ = 0;
    lastOutputAt_ = std::chrono::steady_clock::now();
    outputPlayedSinceStart_ = true;
  }
  // A transmission starts: the watchdog counts from now, with the start-up limit.
  void outputStarted() {
    outputProgressed();
    outputPlayedSinceStart_ = false;
  }
  bool callsignMissing(Button* toggle);
  // A send command's first step: a press by the operator ends what the automation runs.
  void noteOperatorPress();
  // A send command pressed while a transmission runs: the toggle springs back, true.
  bool refusedWhileTransmitting(Button* toggle);
  // The settings dialog, modally, then the activation handling.
  void showSettingsModal();
  void restoreIdleControls();
  void setEstimateControlsEnabled(bool enabled);
  bool codeTransmitPicture(const Picture& source, bool fromClipboard);
  // Codes the fitted picture block by block as the sender will: the preview (copied into
  // txPicture) and txCodedBits.
  void previewAsSent();
  void decodeReceivedBlock(const RxFrameInfo& info, const BitBuffer& payload);
  // The bits to use for a failed image block: the sum's when it was combined with a kept copy
  // (crcGood then tells the sum's verdict), else the payload as received.
  const BitBuffer& combineWithKeptCopy(const RxFrameInfo& info, const BitBuffer& payload,
                                       std::span<const float> soft, bool& crcGood);
  void markBlock(int col, int row, Colour colour);
  void clearReceptionLabels();
  void showDecodedCallsign();
  // Appends the contact to the ADIF contact log (see logOutClicked); `measured`: the
  // receiver's SNR belongs to it. True when the log holds the contact.
  // `contactKey` names the picture the contact belongs to (a reception, a stored file);
  // `automatic`: logged by AutoLog, so problems go to the message log, never to a box.
  bool logContact(const std::string& callsign, const std::string& contactKey, const LocalTime& utc,
                  const std::string& modeText, bool measured, bool automatic);
  // The logged contact's ADIF text (header and record) to the logging program over UDP.
  void contactLoggedOnNetwork(const std::string& adifText);
  // One input buffer passed: heartbeats and reports when due; their problems to the message log.
  void networkStep();
  // The receiver's display hooks (signal_displays.cpp).
  void feedMetersAndWaterfall(const double* block, int count);
  void drawEyeDiagram(const double* freqTrace, const uint8_t* symbolMarks, int count,
                      int symbolCount);
  void showSignalPicture(const Picture& picture);
  void drawClockOverlay();

  StationDevices devices_;
  std::unique_ptr<TransmitterState> tx_;
  std::unique_ptr<ReceiverState> rx_;
  std::unique_ptr<FailedBlockCopies> failedCopies_;
  std::unique_ptr<TransmitSide> txSide_;
  std::unique_ptr<ReceiveSide> rxSide_;
  std::unique_ptr<DeviceSide> deviceSide_;
  std::unique_ptr<PttPort> ptt_;
  std::unique_ptr<RigControl> rig_;
  std::unique_ptr<AutoOperation> auto_;
  // What the receiver measured on the picture being received (receivedPictureSnrDb).
  double lastFrameSnrDb_ = 0.0;
  double pictureSnrSumDb_ = 0.0;
  int pictureSnrCount_ = 0;
  std::unique_ptr<MessageQueue> messages_;
  std::unique_ptr<DeviceRings> rings_;
  std::unique_ptr<StationLoop> loop_;
  FrameSources frameSources_;
  std::unique_ptr<Waterfall> waterfall_ = std::make_unique<Waterfall>();
  int quietOutputMs_ = 0;
  std::chrono::steady_clock::time_point lastOutputAt_{};
  bool outputPlayedSinceStart_ = false;
  bool stepRunning_ = false;
  int64_t scanSeed_ = 0;            // seed of the last random block order
  bool pictureEstimated_ = false;  // an estimate fitted fittedPicture_
  Picture fittedPicture_;           // the transmit picture as the last estimate fitted it
  int txProgressTotal_ = 0;            // data frames the running transmission started with
  bool messageLogFailed_ = false;      // the message log file failed once; not said again
  bool noSoundIn_ = false, noSoundOut_ = false;  // the last opening failed or the device died
  void setSoundState(bool noSoundIn, bool noSoundOut);
  std::string rigLostKeyedAt_;  // the time the rig stopped answering while keyed, until it answers
  std::string lastLoggedContact_;      // callsign and picture of the contact logged last
  int receptionNumber_ = 0;            // counts the picture receptions since start-up
  std::string lastAutoLogProblem_;     // said once in the message log by AutoLog
  std::unique_ptr<NetworkReports> network_;
};
