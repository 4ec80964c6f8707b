// The window messages that drive the station, and the standard box for an exception that
// escapes a handler.
#include "app/main_window.h"

namespace {

const char* const kUnknownError = "An unexpected error occurred.";

}  // namespace

// Marks a buffer step as running for its whole length, so that nothing it shows can start
// another step inside it.
class MainWindow::StepScope {
 public:
  explicit StepScope(bool& running) : running_(running) { running_ = true; }
  ~StepScope() { running_ = false; }
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

 private:
  bool& running_;
};

bool MainWindow::dispatchMessage(const WindowMessage& message) {
  switch (message.id) {
    case kDropFilesMessage:
      runGuarded([&] { filesDropped(message.files); });
      return true;
    case kInputBufferMessage:
      if (message.samples) runStep([&] { receiveStep(message.samples); });
      return true;
    case kOutputBufferMessage:
      runStep([&] { transmitStep(); });
      return true;
    default:
      return false;
  }
}

void MainWindow::runStep(const std::function<void()>& step) {
  if (stepRunning_) return;  // never reached through pumpMessages, which waits for the step
  StepScope scope(stepRunning_);
  runGuarded(step);
}

void MainWindow::report(const std::string& text, bool beep) {
  if (!stepRunning_) {
    platform.messageBox(text, beep);
    return;
  }
  // A modal box would run the window system's nested event loop, and with it the next buffer
  // step inside this one: the operator is told without stopping the station.
  notify(text, beep);
}

void MainWindow::notify(const std::string& text, bool beep) {
  addStampedLine(text);
  platform.notice(text, beep);
}

void MainWindow::showException(const char* what) {
  const std::string text = what && *what ? what : kUnknownError;
  try {
    report(text, false);
  } catch (...) {
    // Nothing is left to tell the operator with; the program goes on.
  }
}
