// The main window's operator commands: the control states each send command sets and the end
// of every transmission restores, the callsign check, a send command pressed while another
// transmission runs, key shortcuts, dropped files and the message routing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "audio/serial_lines.h"
#include "support/fake_platform.h"

namespace {

// A serial port that is always there; records whether the push-to-talk lines are keyed.
class KeyingLines final : public SerialLines {
 public:
  bool open(const std::string&) override { return isOpen = true; }
  bool configure() override { return true; }
  bool assertLines() override { return keyed = true; }
  bool releaseLines() override {
    keyed = false;
    return true;
  }
  void close() override { isOpen = false; }
  bool isOpen = false;
  bool keyed = false;
};

class OperatorCommands : public testing::Test {
 protected:
  OperatorCommands() : form(platform, StationDevices{nullptr, &lines}) {
    form.settings.callsign = "QA1BCD";
    form.settings.portPath = "/dev/ttyUSB0";
    form.clipboardPicture = Picture(320, 240);
    form.state.imageFromClipboard = true;
    form.outputTap = [this](const int16_t* samples, int count) {
      air.insert(air.end(), samples, samples + count);
    };
  }
  void runToEnd() {
    for (int i = 0; i < 2000 && form.state.txInProgress; ++i) form.transmitStep();
    ASSERT_FALSE(form.state.txInProgress);
  }

  KeyingLines lines;
  FakePlatform platform;
  MainWindow form;
  std::vector<int16_t> air;
};

// What one control must look like: enabled, pressed, caption ("" = not checked).
struct ButtonState {
  bool enabled;
  bool down;
  std::string caption;
};

struct StartCase {
  const char* name;
  Button MainWindow::*pressed;
  void (MainWindow::*click)();
  ButtonState sendImage, sendBsr, respBsr;
  int tabAtStart;
};

void expectButton(const Button& b, const ButtonState& want, const std::string& where) {
  EXPECT_EQ(b.enabled, want.enabled) << where << " " << b.caption;
  EXPECT_EQ(b.down, want.down) << where << " " << b.caption;
  if (!want.caption.empty()) EXPECT_EQ(b.caption, want.caption) << where;
}

TEST_F(OperatorCommands, EachSendCommandSetsItsControlStatesAndTheEndRestoresTheIdleOnes) {
  const StartCase cases[] = {
      {"Send Image",
       &MainWindow::sendImageButton,
       &MainWindow::sendImageClicked,
       {true, true, ""},
       {false, false, "Send BSR"},
       {false, false, "Resp BSR"},
       0},
      {"Send BSR",
       &MainWindow::sendBsrButton,
       &MainWindow::sendBsrClicked,
       {true, false, ""},
       {true, true, "Send 12 BSR"},
       {false, false, "Resp BSR"},
       1},
      {"Resp BSR",
       &MainWindow::respBsrButton,
       &MainWindow::respBsrClicked,
       {true, false, ""},
       {false, false, "Send 12 BSR"},
       {true, true, "Resp 5 BSR"},
       0},
      {"Send Text",
       nullptr,
       &MainWindow::sendTextClicked,
       {true, false, ""},
       {false, false, "Send 12 BSR"},
       {true, false, "Resp 5 BSR"},
       1},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    form.pictureTabs.index = 1;  // RX tab: "Delete" comes back at the end
    form.state.missingBlockCount = 12;
    form.state.requestedBlockCount = 5;
    form.refreshBsrButtons();
    form.textEdit.text = "hello";
    if (c.pressed) (form.*c.pressed).down = true;
    (form.*c.click)();
    ASSERT_TRUE(form.state.txInProgress);

    for (const Combo* combo : {&form.scaleCombo, &form.modeCombo}) EXPECT_FALSE(combo->enabled);
    EXPECT_TRUE(form.codeCombo.enabled);
    for (const Button* b : {&form.settingsButton, &form.sendTextButton, &form.deleteImageButton,
                            &form.toClipboardButton, &form.fromClipboardButton, &form.logOutButton})
      EXPECT_FALSE(b->enabled) << b->caption;
    expectButton(form.sendImageButton, c.sendImage, "start");
    expectButton(form.sendBsrButton, c.sendBsr, "start");
    expectButton(form.respBsrButton, c.respBsr, "start");
    EXPECT_EQ(form.callsignPanel.caption, "QA1BCD");
    EXPECT_EQ(form.callsignPanel.font, colours::badBlock);
    EXPECT_EQ(form.pictureTabs.index, c.tabAtStart);

    if (c.pressed == &MainWindow::sendImageButton) {  // stop the picture early: same end state
      form.sendImageButton.down = false;
      form.sendImageClicked();
    }
    runToEnd();
    for (const Combo* combo : {&form.scaleCombo, &form.codeCombo, &form.modeCombo})
      EXPECT_TRUE(combo->enabled);
    for (const Button* b : {&form.settingsButton, &form.sendTextButton, &form.toClipboardButton,
                            &form.fromClipboardButton})
      EXPECT_TRUE(b->enabled) << b->caption;
    EXPECT_EQ(form.deleteImageButton.enabled, form.pictureTabs.index != 0);
    EXPECT_EQ(form.logOutButton.enabled, form.pictureTabs.index != 0);  // nothing to log on the TX tab
    const BsrButtonState send = sendBsrButtonState(form.state.missingBlockCount);
    const BsrButtonState resp = respBsrButtonState(form.state.requestedBlockCount);
    expectButton(form.sendImageButton, {true, false, "Send Image"}, "end");
    expectButton(form.sendBsrButton, {send.enabled, false, send.caption}, "end");
    expectButton(form.respBsrButton, {resp.enabled, false, resp.caption}, "end");
    EXPECT_EQ(form.callsignPanel.caption, "");
    EXPECT_FALSE(lines.keyed);
    EXPECT_FALSE(lines.isOpen);
  }
}

TEST_F(OperatorCommands, WithoutCallsignTheBoxComesFirstThenTheModalSettingsAndNothingIsKeyed) {
  form.settings.callsign.clear();
  std::vector<size_t> boxesWhenDialogOpened;
  platform.onSettingsDialog = [&](SettingsDialog&) {
    boxesWhenDialogOpened.push_back(platform.messages.size());
  };
  form.pictureTabs.index = 1;
  form.statusLine.caption = "stale";

  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "Set your callsign");
  EXPECT_TRUE(platform.messages[0].beep);
  EXPECT_EQ(boxesWhenDialogOpened, std::vector<size_t>{1});
  EXPECT_FALSE(form.sendImageButton.down);
  EXPECT_EQ(form.statusLine.caption, "From : No Callsign");  // activation ran after the dialog
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_FALSE(lines.isOpen);

}

// Pressing another send command during a transmission must not touch it: the samples on the
// air are those of the lone transmission, and the radio is released at its end.
TEST_F(OperatorCommands, SendCommandsPressedDuringATransmissionAreRefusedAndTheAirIsUntouched) {
  form.textEdit.text = "hello";
  form.sendTextClicked();
  runToEnd();
  const std::vector<int16_t> alone = air;
  air.clear();

  form.textEdit.text = "hello";
  form.sendTextClicked();
  form.transmitStep();
  form.state.requestedBlockCount = 3;
  form.state.missingBlockCount = 7;
  form.textEdit.text = "second";
  for (Button* b : {&form.sendImageButton, &form.sendBsrButton, &form.respBsrButton})
    b->down = true;
  form.sendImageClicked();
  form.sendBsrClicked();
  form.respBsrClicked();
  form.sendTextClicked();
  for (const Button* b : {&form.sendImageButton, &form.sendBsrButton, &form.respBsrButton})
    EXPECT_FALSE(b->down) << b->caption;
  EXPECT_EQ(form.state.txKind, kTxText);
  EXPECT_EQ(form.textEdit.text, "second");  // kept for a later send
  EXPECT_TRUE(lines.keyed);
  runToEnd();
  EXPECT_EQ(air, alone);
  EXPECT_FALSE(lines.keyed);
  EXPECT_FALSE(lines.isOpen);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(OperatorCommands, KeyHistoriesRunTheClipboardCommands) {
  platform.clipboard = Picture(400, 300);
  form.state.imageFromClipboard = false;
  auto type = [&](const std::string& keys) {
    for (char k : keys) form.keyReleased(k);
  };
  type("1T2P1R1X");  // broken sequences do nothing
  EXPECT_FALSE(form.state.imageFromClipboard);
  EXPECT_EQ(form.clipboardPicture.width(), 320);
  type("1T1P");
  EXPECT_TRUE(form.state.imageFromClipboard);
  EXPECT_EQ(form.clipboardPicture.width(), 400);

  form.txPicture.fill(Colour{9, 8, 7});
  type("1R1");
  form.keyReleased(0x100 | 'C');  // only the low byte of the key code counts
  ASSERT_TRUE(platform.clipboard);
  EXPECT_EQ(platform.clipboard->at(0, 0), (Colour{9, 8, 7}));
}

TEST_F(OperatorCommands, DroppedFilesAreRoutedAndIgnoredWhileTransmitting) {
  const std::vector<std::string> drop{"/pictures/contest.png", "/pictures/second.jpg"};
  EXPECT_TRUE(form.dispatchMessage({MainWindow::kDropFilesMessage, nullptr, drop}));
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_FALSE(form.state.imageFromClipboard);

  form.textEdit.text = "hello";
  form.sendTextClicked();
  form.state.imageFromClipboard = true;
  const std::vector<std::string> late{"/pictures/late.jpg"};
  form.dispatchMessage({MainWindow::kDropFilesMessage, nullptr, late});
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_TRUE(form.state.imageFromClipboard);
  form.dispatchMessage({MainWindow::kDropFilesMessage, nullptr, {}});  // an empty drop: nothing
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_FALSE(form.dispatchMessage({0x0100, nullptr, {}}));  // not ours
}

TEST_F(OperatorCommands, AnExceptionEscapingABufferStepIsShownAndTheStationGoesOn) {
  form.textEdit.text = "hello";
  form.sendTextClicked();
  form.outputTap = [](const int16_t*, int) { throw std::runtime_error("output device lost"); };
  EXPECT_TRUE(form.dispatchMessage({MainWindow::kOutputBufferMessage, nullptr, {}}));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "output device lost");
  EXPECT_FALSE(form.runGuarded([] { throw 42; }));
  EXPECT_EQ(platform.messages.back().text, "An unexpected error occurred.");

  form.outputTap = nullptr;
  for (int i = 0; i < 2000 && form.state.txInProgress; ++i)
    form.dispatchMessage({MainWindow::kOutputBufferMessage, nullptr, {}});
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_FALSE(lines.keyed);
}

}  // namespace
