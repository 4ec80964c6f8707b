#include "gui/tool_tips.h"

#include <initializer_list>
#include <utility>

#include "gui/dialog_windows.h"
#include "gui/main_window_widget.h"

namespace {

template <class Window>
void setTips(Window& window, std::initializer_list<std::pair<const void*, const char*>> tips) {
  for (const auto& [control, tip] : tips)
    if (QWidget* widget = window.widgetOf(control)) widget->setToolTip(tip);
}

}  // namespace

void addMainWindowToolTips(MainWindowWidget& window) {
  MainWindow& f = window.form();
  setTips(window, {
      {&f.scaleCombo,
       "Picture quality: the block codec's quantisation steps are the JPEG tables times this "
       "factor. Smaller is sharper and takes longer to send (0.07 finest, 2.00 coarsest); the "
       "status line shows the time."},
      {&f.codeCombo,
       "Normal (Non): the picture data as it is. Convolution: protected by a rate-1/2 "
       "convolutional code, twice as long but read through much more noise and fading."},
      {&f.modeCombo,
       "MSK: two tones, one bit per symbol. 4L-FSK: four tones, two bits per symbol, twice "
       "as fast but needs a stronger signal."},
      {&f.pictureBox, "Right-click (or Ctrl+O) to choose the picture to send or one sent lately"},
      {&f.logOutButton,
       "The contact's line to the clipboard and F8 to the logging program's window; the "
       "contact is also added to pelimo.adi (ADIF) in the data folder."},
      {&f.messageLog, "Times are UTC; every line is also kept in messages.log in the data folder. "
                 "Double-click clears the window only."},
  });
}

void addSettingsToolTips(SettingsWindow& window, SettingsDialog& form) {
  setTips(window, {
      {&form.imageEditorEdit,
       "The exact window title of your station-logging program: \"Log out\" puts the contact's "
       "line on the clipboard and sends that window the F8 key (X11 only)."},
      {&form.timeoutCounter, "Seconds without a frame after which a picture reception is closed"},
      {&form.endFramesCounter, "End frames (abort frames after a stop) sent at the end of every transmission"},
      {&form.callsignRepeatCounter, "Callsign frames sent at the head of a picture or BSR transmission, after the first"},
      {&form.errorFreeOnlyCheck, "Draw only blocks that arrived without error; damaged blocks stay black"},
      {&form.overwriteBsrCheck, "Also take blocks re-sent for another station (shown yellow in the error map)"},
      {&form.deleteOnBsrCheck, "When re-sent blocks complete a picture, delete the file saved before them"},
      {&form.logModeEdit, "Replaces the received mode in the log line when not empty"},
      {&form.logReportEdit, "The signal report in the log line (RST_SENT in the ADIF contact log)"},
      {&form.logBandEdit, "The band in the log line and the ADIF contact log: 40 or 40m, 70cm, or MHz"},
      {&form.networkPanel.autoLogCheck,
       "Every picture reception that closes with at least one block is logged as \"Log out\" logs it"},
      {&form.networkPanel.udpServerEdit,
       "host:port where a logging program listens for WSJT-X UDP messages (usually 127.0.0.1:2237); "
       "every logged contact is sent there. Empty: none"},
      {&form.networkPanel.reportHeardCheck,
       "Report the callsigns this station hears, with your callsign and locator, to "
       "report.pskreporter.info (at most every 5 minutes)"},
      {&form.networkPanel.locatorEdit, "Your Maidenhead locator (JO62 or JO62qm); needed for the reports"},
      {&form.autoPanel.autoBsrCheck,
       "When a received picture lacks blocks, send \"Send BSR\" by itself, again after each answer; "
       "answer requests that follow this station's own picture as \"Resp BSR\" does. Pressing any "
       "send command, or the lit button, stops it."},
      {&form.autoPanel.roundsCombo, "Block requests sent by themselves per received picture, at most"},
      {&form.autoPanel.answerWaitCombo,
       "Give up when no answer has begun after a request for this long (time on a busy channel "
       "does not count)"},
      {&form.autoPanel.holdCombo,
       "Every automatic transmission waits until, for this long, no frame was read, no sync word "
       "was found and the 500-2500 Hz band stayed at the noise floor"},
      {&form.autoPanel.timeLimitCombo,
       "A transmission still running after this is stopped as \"Stop\" does, and the radio released"},
      {&form.autoPanel.cwIdCheck,
       "After every transmission, the callsign in Morse at the frames' level, the radio still keyed"},
      {&form.autoPanel.cwWpmCombo, "Morse speed in words per minute"},
      {&form.autoPanel.cwToneCombo, "Morse tone, in the passband"},
  });
}
