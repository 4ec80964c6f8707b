// "Log out": hands the contact on the RX or LOG tab to the station-logging program as one
// line on the clipboard followed by the F8 key sent to its window, and appends it to the ADIF
// contact log in the data folder.
#include <algorithm>
#include <cmath>

#include "app/main_window.h"
#include "core/file_append.h"
#include "core/utc_time.h"
#include "library/adif_log.h"
#include "library/log_line.h"
#include "library/stored_image_names.h"

namespace {

bool contactFrame(int kind) { return kind == 0 || kind == 1 || kind == 2 || kind == 6; }

std::string onClipboardNote(bool logged) {
  return std::string("The log line is on the clipboard") + (logged ? " and the contact is in the ADIF log" : "");
}

}  // namespace

std::string MainWindow::contactLogPath() const {
  return dataFolder.empty() ? std::string() : dataFolder + "/" + kContactLogFileName;
}

// Every header says whether its payload is convolutionally coded: "/CONV" or "/NORM" follows
// the last header of any kind. The receiver's own four-level flag is cleared at the end of
// every frame, so the modulation is kept here from the frames that carry the contact:
// pictures, re-sent blocks, texts and callsigns; end, request and abort frames say nothing
// about it.
void MainWindow::noteReceivedFrame(const RxFrameInfo& info) {
  rxLogConvolutional = info.coded;
  if (!contactFrame(info.kind)) return;
  rxLogFourLevel = info.fourLevel;
}

void MainWindow::refreshLogOutButton() {
  // A contact to log: the reception on the RX tab, the stored picture on display on the LOG
  // tab; never on the TX tab, and never while a transmission runs.
  logOutButton.enabled = !state.txInProgress &&
                         (pictureTabs.index == kRxTab || (pictureTabs.index == kLogTab && browseShown));
}

// The ADIF record of the contact, unless this contact (the callsign and the picture: a
// reception, or a stored file) is the one logged last: a second press, say after starting the
// logging program, adds no second record.
bool MainWindow::logContact(const std::string& callsign, const std::string& contactKey,
                            const LocalTime& utc, const std::string& modeText, bool measured,
                             bool automatic) {
  if (contactLogPath().empty()) return false;
  // A picture saved without a callsign still gives its log line, but no contact to log.
  if (logCallsign(callsign).empty()) {
    addMessageLogLine("No callsign, so the contact is not in the contact log");
    return false;
  }
  const std::string& mode = settings.logMode.empty() ? modeText : settings.logMode;
  // The rig's frequency and the measured signal belong to the contact on the air only.
  ContactRecord contact{callsign, utc, settings.logBand,
                        measured ? rigFrequencyHz() : std::nullopt, mode,
                        settings.logReport, measured ? receivedPictureSnrDb() : std::nullopt};
  const std::string key = logCallsign(callsign) + "\n" + contactKey;
  if (key == lastLoggedContact_) return true;
  std::string error;
  const std::string header = adifHeader(platform.utcTime(), kProgramVersion);
  if (!createFolderPath(dataFolder, error) || !appendContact(contactLogPath(), contact, header, error)) {
    addMessageLogLine("Not in the contact log: " + error);
    if (!automatic) platform.messageBox(error, false);
    return false;
  }
  lastLoggedContact_ = key;
  addMessageLogLine("Contact with " + logCallsign(callsign) + " added to " + contactLogPath());
  contactLoggedOnNetwork(header + adifRecord(contact));
  return true;
}

void MainWindow::logOutClicked() { logOut(pictureTabs.index, false); }

// An automatic log (AutoLog) raises no box: what went wrong goes to the message log, and a
// logging program that is not running is said there once.
void MainWindow::logOut(int tab, bool automatic) {
  auto tell = [this, automatic](const std::string& text, bool beep) {
    if (!automatic) {
      platform.messageBox(text, beep);
    } else if (text != lastAutoLogProblem_) {
      lastAutoLogProblem_ = text;
      std::string line = text;  // a box's text may hold line breaks; the log keeps one line
      std::erase(line, '\r');
      std::replace(line.begin(), line.end(), '\n', ' ');
      addMessageLogLine(line);
    }
  };
  const LogFixedFields fixed{settings.logReport, settings.logMode, settings.logBand};
  LogLineResult result;
  bool logged = false;
  if (tab == kRxTab) {
    // The contact on the air now: the rig's band when rig control knows it, and the measured
    // signal-to-noise ratio when no fixed one is set.
    LogFixedFields live = fixed;
    if (std::optional<std::string> band = rigBand()) live.band = *band;
    if (live.signalReport.empty()) live.signalReport = measuredSignalReport(receivedPictureSnrDb());
    result = logLineFromReception(state.remoteCallsign, platform.localTime(),
                                  receivedModeText(rxLogFourLevel, rxLogConvolutional), live);
    if (result.line)
      logged = logContact(state.remoteCallsign, "reception " + std::to_string(receptionNumber_),
                          platform.utcTime(),
                          receivedModeText(rxLogFourLevel, rxLogConvolutional), true, automatic);
  } else if (tab == kLogTab) {
    // A stored picture is an earlier contact: the fixed fields, and no rig frequency.
    result = logLineFromStoredName(storedImageName, fixed);
    // The name holds the local time of the save.
    const std::optional<LocalTime> saved = storedImageTime(storedImageName);
    const std::optional<LocalTime> utc = saved ? utcFromLocal(*saved) : std::nullopt;
    // The callsign as the reception gave it: the name without the "~2" that tells apart two
    // pictures saved under the same name.
    if (result.line && utc)
      logged = logContact(withoutNumberSuffix(storedImageName).substr(14), "file " + storedImageName, *utc,
                          "MSK/NORM", false, automatic);
  } else {
    return;
  }
  if (!result.line) {
    tell(result.error, true);
    return;
  }
  platform.setClipboardText(*result.line);
  if (!platform.windowExists(settings.imageEditorName)) {
    tell(loggerNotFoundMessage(settings.imageEditorName), true);
    addMessageLogLine(onClipboardNote(logged));
    return;
  }
  if (!platform.keysReachOtherWindows()) {
    tell(onClipboardNote(logged) + "; in a Wayland session no key can reach \"" +
             settings.imageEditorName + "\", paste it there.",
         false);
    return;
  }
  if (!platform.sendF8ToWindow(settings.imageEditorName))
    tell(loggerNotFoundMessage(settings.imageEditorName), true);
}
