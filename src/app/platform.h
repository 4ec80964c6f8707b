#pragma once
// Everything the desktop gives the program goes through this one interface: message boxes
// and the beep, the clipboard, the clock, text drawing into pictures, and the logging
// program's window. The window layer implements it with the toolkit; tests use a scripted
// fake that records what was shown and answers as told.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "core/local_time.h"
#include "core/utc_time.h"
#include "imaging/picture.h"

class FirstStartPage;
class SettingsDialog;

class Platform {
 public:
  virtual ~Platform() = default;

  // A modal box with one OK button; `beep` plays the exclamation sound first.
  virtual void messageBox(const std::string& text, bool beep) = 0;
  // A box with one OK button that does not stop the program: the call returns at once and the
  // station goes on while the box is open (problems found while receiving are shown this way).
  // A platform without such boxes shows it like messageBox.
  virtual void notice(const std::string& text, bool beep) { messageBox(text, beep); }
  // Lets the window paint what the forms show now (a progress notice) before a long step,
  // without running any other event. Nothing by default.
  virtual void paintNow() {}
  // A modal question with Yes and No buttons (beep as above); true when the answer is Yes.
  virtual bool askYesNo(const std::string& text, bool beep) = 0;

  virtual std::optional<Picture> clipboardPicture() = 0;
  virtual void setClipboardPicture(const Picture& picture) = 0;
  virtual void setClipboardText(const std::string& text) = 0;

  virtual LocalTime localTime() = 0;
  // Seconds since the epoch, used to seed the random block order.
  virtual int64_t timeSeconds() = 0;
  // The time in UTC, for the contact log and the message log.
  virtual LocalTime utcTime() { return utcTimeOf(timeSeconds()); }

  // Draws text in the given colour with its top-left corner at (x, y); `size` is in points.
  virtual void drawText(Picture& picture, int x, int y, const std::string& text, int size,
                        Colour colour) = 0;

  // True when a top-level window has exactly this title (the logging program's).
  virtual bool windowExists(const std::string& title) = 0;
  // Brings the window with this title to the front, waits about 100 ms for it to take the
  // focus, and sends it the F8 key; false if absent.
  virtual bool sendF8ToWindow(const std::string& title) = 0;
  // False where no key can be sent to another program's window at all (a Wayland session):
  // the log line then stays on the clipboard for the operator to paste.
  virtual bool keysReachOtherWindows() { return true; }
  // Asks the operator for a picture file to send (JPEG, PNG or BMP, with a preview), starting
  // in `folder`; nothing when cancelled or where no file chooser exists.
  virtual std::optional<std::string> choosePictureFile(const std::string& folder) {
    return std::nullopt;
  }
  // Shows the folder in the desktop's file manager without waiting for it; false where none
  // can be started.
  virtual bool showFolder(const std::string& folder) { return false; }
  // Starts the system's recording-level mixer; false if none can be started.
  virtual bool startMixer() = 0;

  // Shows the settings dialog modally: draws its controls, forwards the operator's events to
  // its handlers while the buffer steps go on, and returns once a handler set its modalResult
  // (closing the window otherwise counts as "Cancel"). The dialog is filled before the call.
  virtual void showModal(SettingsDialog& dialog) = 0;
  // The first-start page, modally; without a window it is not shown (a cancel).
  virtual void showModal(FirstStartPage&) {}
};
