// The main window's remaining operator commands: "Finish RX", "AF Level", "Settings", the
// text field and message log clicks, the waterfall click, the key shortcuts and dropped files.
#include <array>

#include "app/main_window.h"

namespace {

// The four keys of a shortcut, oldest first, as virtual-key codes (upper-case letters and the
// main keyboard's digits).
using KeySequence = std::array<uint8_t, 4>;
constexpr KeySequence kFromClipboardKeys{'1', 'T', '1', 'P'};
constexpr KeySequence kToClipboardKeys{'1', 'R', '1', 'C'};

// keyHistory holds the newest key first; a sequence is compared oldest first.
bool typed(const std::array<uint8_t, 4>& history, const KeySequence& keys) {
  return history[3] == keys[0] && history[2] == keys[1] && history[1] == keys[2] &&
         history[0] == keys[3];
}

}  // namespace

// A second transmission cannot share the air with the first: starting it would cut the frame
// on the air short and queue its primed buffers behind the running ones. So a send command
// pressed while a transmission runs is refused; its toggle springs back and the running
// transmission goes on to its normal end, where the sequencer releases the radio.
bool MainWindow::refusedWhileTransmitting(Button* toggle) {
  if (!state.txInProgress) return false;
  if (toggle) toggle->down = false;
  return true;
}

void MainWindow::showSettingsModal() {
  // Settings confirmed with "OK" are kept at once: a session that ends by logout or a signal
  // never reaches the close.
  if (settingsDialog.runModal(*this)) writeSettings();
  activated();
}

void MainWindow::afLevelClicked() { levelDialog.show(bounds()); }

void MainWindow::settingsClicked() { showSettingsModal(); }

void MainWindow::textEditClicked() {
  if (textEdit.text != kTextPrompt) return;
  textEdit.text.clear();
  textEdit.font = colours::black;
}

void MainWindow::messageLogDoubleClicked() { messageLog.clear(); }

void MainWindow::keyReleased(int key) {
  std::array<uint8_t, 4>& history = state.keyHistory;
  history = {static_cast<uint8_t>(key & 0xFF), history[0], history[1], history[2]};
  if (typed(history, kFromClipboardKeys))
    fromClipboardClicked();
  else if (typed(history, kToClipboardKeys))
    toClipboardClicked();
}

// The path is taken whole: a long path is not cut to a shorter (and different) one.
void MainWindow::filesDropped(std::span<const std::string> paths) {
  if (!paths.empty()) loadTransmitImage(paths.front());
}
