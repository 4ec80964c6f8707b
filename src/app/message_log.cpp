// The message log: received and sent texts, stored pictures and logged contacts, each shown
// with its time (UTC) and also appended to messages.log in the data folder, so that clearing
// the message log on the screen loses nothing.
#include "app/main_window.h"
#include "core/display_text.h"
#include "core/file_append.h"
#include "core/utc_time.h"

std::string MainWindow::messageLogPath() const {
  return dataFolder.empty() ? std::string() : dataFolder + "/" + kMessageLogFileName;
}

void MainWindow::addStampedLine(const std::string& line) {
  messageLog.add(line, utcStamp(platform.utcTime()));
}

void MainWindow::addMessageLogLine(const std::string& line, MessageLogSource source) {
  // The start-up lines give way to the first message, as they do to the first text.
  if (!state.startupLinesCleared) {
    messageLog.clear();
    state.startupLinesCleared = true;
  }
  const LocalTime now = platform.utcTime();
  messageLog.add(line, utcStamp(now));
  if (messageLogPath().empty()) return;
  // A text from the air is marked in the file, so that no payload can pass for one of the
  // station's own lines (a stored picture, a logged contact).
  const char* mark = source == MessageLogSource::air ? kReceivedTextMark : "";
  const std::string fileLine = utcDateTimeStamp(now) + " " + mark + displayText(line) + "\n";
  std::string error;
  // A new station has no data folder until something is written into it.
  if (createFolderPath(dataFolder, error) && appendToFile(messageLogPath(), "", fileLine, nullptr, error))
    return;
  // Said once, in the message log only: this may run inside a buffer step, and every later line
  // would fail the same way. A station without a window fails on it at the end.
  lastFileProblem = "The message log file is not written: " + error;
  if (messageLogFailed_) return;
  messageLogFailed_ = true;
  messageLog.add(lastFileProblem, utcStamp(now));
}
