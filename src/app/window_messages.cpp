// The window messages that drive the station, and the standard box for an exception that
// escapes a handler.
#include "app/main_window.h"

namespace {

const char* const kUnknownError = "An unexpected error occurred.";

}  // namespace

bool MainWindow::dispatchMessage(const WindowMessage& message) {
  switch (message.id) {
    case kDropFilesMessage:
      runGuarded([&] { filesDropped(message.files); });
      return true;
    case kInputBufferMessage:
      if (message.samples) runGuarded([&] { receiveStep(message.samples); });
      return true;
    case kOutputBufferMessage:
      runGuarded([&] { transmitStep(); });
      return true;
    default:
      return false;
  }
}

void MainWindow::showException(const char* what) {
  const std::string text = what && *what ? what : kUnknownError;
  try {
    platform.messageBox(text, false);
  } catch (...) {
    // Nothing is left to tell the operator with; the program goes on.
  }
}
