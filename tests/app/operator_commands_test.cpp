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
    form.Callsign = "QA1BCD";
    form.PortStr = "/dev/ttyUSB0";
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
  TForm1 form;
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
  Button TForm1::*pressed;
  void (TForm1::*click)();
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
      {"Send Image", &TForm1::SpeedButton1, &TForm1::SpeedButton1Click,
       {true, true, ""}, {false, false, "Send BSR"}, {false, false, "Resp BSR"}, 0},
      {"Send BSR", &TForm1::SpeedButton2, &TForm1::SpeedButton2Click,
       {true, false, ""}, {true, true, "Send 12 BSR"}, {false, false, "Resp BSR"}, 1},
      {"Resp BSR", &TForm1::SpeedButton3, &TForm1::SpeedButton3Click,
       {true, false, ""}, {false, false, "Send 12 BSR"}, {true, true, "Resp 5 BSR"}, 0},
      {"Send Text", nullptr, &TForm1::SpeedButton6Click,
       {true, false, ""}, {false, false, "Send 12 BSR"}, {true, false, "Resp 5 BSR"}, 1},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(c.name);
    form.TabControl1.index = 1;  // RX tab: "Delete" comes back at the end
    form.state.missingBlockCount = 12;
    form.state.requestedBlockCount = 5;
    form.refreshBsrButtons();
    form.Edit1.text = "hello";
    if (c.pressed) (form.*c.pressed).down = true;
    (form.*c.click)();
    ASSERT_TRUE(form.state.txInProgress);

    for (const Combo* combo : {&form.ComboBox1, &form.ComboBox3}) EXPECT_FALSE(combo->enabled);
    EXPECT_TRUE(form.ComboBox2.enabled);
    for (const Button* b : {&form.SpeedButton13, &form.SpeedButton6, &form.SpeedButton7,
                            &form.SpeedButton11, &form.SpeedButton12, &form.SpeedButton9})
      EXPECT_FALSE(b->enabled) << b->caption;
    expectButton(form.SpeedButton1, c.sendImage, "start");
    expectButton(form.SpeedButton2, c.sendBsr, "start");
    expectButton(form.SpeedButton3, c.respBsr, "start");
    EXPECT_EQ(form.Panel4.caption, "QA1BCD");
    EXPECT_EQ(form.Panel4.font, colours::badBlock);
    EXPECT_EQ(form.TabControl1.index, c.tabAtStart);

    if (c.pressed == &TForm1::SpeedButton1) {  // stop the picture early: same end state
      form.SpeedButton1.down = false;
      form.SpeedButton1Click();
    }
    runToEnd();
    for (const Combo* combo : {&form.ComboBox1, &form.ComboBox2, &form.ComboBox3})
      EXPECT_TRUE(combo->enabled);
    for (const Button* b : {&form.SpeedButton13, &form.SpeedButton6, &form.SpeedButton11,
                            &form.SpeedButton12, &form.SpeedButton9})
      EXPECT_TRUE(b->enabled) << b->caption;
    EXPECT_EQ(form.SpeedButton7.enabled, form.TabControl1.index != 0);
    const BsrButtonState send = sendBsrButtonState(form.state.missingBlockCount);
    const BsrButtonState resp = respBsrButtonState(form.state.requestedBlockCount);
    expectButton(form.SpeedButton1, {true, false, "Send Image"}, "end");
    expectButton(form.SpeedButton2, {send.enabled, false, send.caption}, "end");
    expectButton(form.SpeedButton3, {resp.enabled, false, resp.caption}, "end");
    EXPECT_EQ(form.Panel4.caption, "");
    EXPECT_FALSE(lines.keyed);
    EXPECT_FALSE(lines.isOpen);
  }
}

TEST_F(OperatorCommands, WithoutCallsignTheBoxComesFirstThenTheModalSettingsAndNothingIsKeyed) {
  form.Callsign.clear();
  std::vector<size_t> boxesWhenDialogOpened;
  platform.onSettingsDialog = [&](TForm9&) { boxesWhenDialogOpened.push_back(platform.messages.size()); };
  form.TabControl1.index = 1;
  form.Label7.caption = "stale";

  form.SpeedButton1.down = true;
  form.SpeedButton1Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "Set your callsign");
  EXPECT_TRUE(platform.messages[0].beep);
  EXPECT_EQ(boxesWhenDialogOpened, std::vector<size_t>{1});
  EXPECT_FALSE(form.SpeedButton1.down);
  EXPECT_EQ(form.Label7.caption, "From : No Callsign");  // activation ran after the dialog
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_FALSE(lines.isOpen);

}

// Pressing another send command during a transmission must not touch it: the samples on the
// air are those of the lone transmission, and the radio is released at its end.
TEST_F(OperatorCommands, SendCommandsPressedDuringATransmissionAreRefusedAndTheAirIsUntouched) {
  form.Edit1.text = "hello";
  form.SpeedButton6Click();
  runToEnd();
  const std::vector<int16_t> alone = air;
  air.clear();

  form.Edit1.text = "hello";
  form.SpeedButton6Click();
  form.transmitStep();
  form.state.requestedBlockCount = 3;
  form.state.missingBlockCount = 7;
  form.Edit1.text = "second";
  for (Button* b : {&form.SpeedButton1, &form.SpeedButton2, &form.SpeedButton3}) b->down = true;
  form.SpeedButton1Click();
  form.SpeedButton2Click();
  form.SpeedButton3Click();
  form.SpeedButton6Click();
  for (const Button* b : {&form.SpeedButton1, &form.SpeedButton2, &form.SpeedButton3})
    EXPECT_FALSE(b->down) << b->caption;
  EXPECT_EQ(form.state.txKind, kTxText);
  EXPECT_EQ(form.Edit1.text, "second");  // kept for a later send
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
    for (char k : keys) form.FormKeyUp(k);
  };
  type("1T2P1R1X");  // broken sequences do nothing
  EXPECT_FALSE(form.state.imageFromClipboard);
  EXPECT_EQ(form.clipboardPicture.width(), 320);
  type("1T1P");
  EXPECT_TRUE(form.state.imageFromClipboard);
  EXPECT_EQ(form.clipboardPicture.width(), 400);

  form.txPicture.fill(Colour{9, 8, 7});
  type("1R1");
  form.FormKeyUp(0x100 | 'C');  // only the low byte of the key code counts
  ASSERT_TRUE(platform.clipboard);
  EXPECT_EQ(platform.clipboard->at(0, 0), (Colour{9, 8, 7}));
}

TEST_F(OperatorCommands, DroppedFilesAreRoutedAndIgnoredWhileTransmitting) {
  const std::vector<std::string> drop{"/pictures/contest.png", "/pictures/second.jpg"};
  EXPECT_TRUE(form.dispatchMessage({TForm1::kDropFilesMessage, nullptr, drop}));
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_FALSE(form.state.imageFromClipboard);

  form.Edit1.text = "hello";
  form.SpeedButton6Click();
  form.state.imageFromClipboard = true;
  const std::vector<std::string> late{"/pictures/late.jpg"};
  form.dispatchMessage({TForm1::kDropFilesMessage, nullptr, late});
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_TRUE(form.state.imageFromClipboard);
  form.dispatchMessage({TForm1::kDropFilesMessage, nullptr, {}});  // an empty drop: nothing
  EXPECT_EQ(form.state.txImagePath, "/pictures/contest.png");
  EXPECT_FALSE(form.dispatchMessage({0x0100, nullptr, {}}));  // not ours
}

TEST_F(OperatorCommands, AnExceptionEscapingABufferStepIsShownAndTheStationGoesOn) {
  form.Edit1.text = "hello";
  form.SpeedButton6Click();
  form.outputTap = [](const int16_t*, int) { throw std::runtime_error("output device lost"); };
  EXPECT_TRUE(form.dispatchMessage({TForm1::kOutputBufferMessage, nullptr, {}}));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "output device lost");
  EXPECT_FALSE(form.runGuarded([] { throw 42; }));
  EXPECT_EQ(platform.messages.back().text, "An unexpected error occurred.");

  form.outputTap = nullptr;
  for (int i = 0; i < 2000 && form.state.txInProgress; ++i)
    form.dispatchMessage({TForm1::kOutputBufferMessage, nullptr, {}});
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_FALSE(lines.keyed);
}

}  // namespace
