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

void MainWindow::addMessageLogLine(const std::string& line) {
  // The start-up lines give way to the first message, as they do to the first text.
  if (!state.memoCleared) {
    messageLog.clear();
    state.memoCleared = true;
  }
  const LocalTime now = platform.utcTime();
  messageLog.add(line, utcStamp(now));
  if (messageLogPath().empty()) return;
  std::string error;
  const std::string fileLine = utcDateTimeStamp(now) + " " + displayText(line) + "\n";
  if (appendToFile(messageLogPath(), "", fileLine, nullptr, error)) return;
  // Said once: the station goes on, and every later line would fail the same way.
  if (messageLogFailed_) return;
  messageLogFailed_ = true;
  messageLog.add("The message log file is not written: " + error, utcStamp(now));
  platform.messageBox(error, false);
}
