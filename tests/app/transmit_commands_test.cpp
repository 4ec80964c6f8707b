// The send commands of the main window: their checks, messages and control states.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/main_window.h"
#include "framing/frame_bits.h"
#include "rx/receiver_state.h"
#include "imaging/transmit_picture.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace {

class TransmitCommands : public testing::Test {
 protected:
  TransmitCommands() : form(platform) { form.settings.callsign = "QA1BCD"; }
  void useClipboardPicture(int width, int height) {
    form.clipboardPicture = Picture(width, height);
    form.clipboardPicture.fill(Colour{200, 100, 50});
    form.state.imageFromClipboard = true;
  }
  // Runs the transmission on the air to its end (a new one starts only after it).
  void finishTransmission() {
    for (int i = 0; i < 400 && form.state.txInProgress; ++i) form.transmitStep();
  }
  FakePlatform platform;
  MainWindow form;
};

TEST_F(TransmitCommands, EverySendCommandNeedsTheCallsign) {
  form.settings.callsign.clear();
  form.sendImageButton.down = true;
  form.sendImageClicked();
  form.textEdit.text = "hello";
  form.sendTextClicked();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].text, "Set your callsign");
  EXPECT_TRUE(platform.messages[0].beep);
  EXPECT_FALSE(form.sendImageButton.down);
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_EQ(form.textEdit.text, "hello");
}

TEST_F(TransmitCommands, SendImageRefusesAMissingOrSmallPicture) {
  form.state.txImagePath = "/nonexistent/TxImage.bmp";
  form.sendImageButton.down = true;
  form.sendImageClicked();
  useClipboardPicture(319, 240);
  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_EQ(platform.messages.size(), 2u);
  // No picture at all says so and how to choose one; a small one gets the size message.
  EXPECT_EQ(platform.messages[0].text, kNoImageChosenMessage);
  for (const char* how : {"From Clipboard", "Ctrl+O", ".png"})
    EXPECT_NE(platform.messages[0].text.find(how), std::string::npos) << how;
  EXPECT_EQ(platform.messages[1].text, "Image size is too small.The size is 320x240 or more.");
  for (const auto& m : platform.messages) EXPECT_FALSE(m.beep);
  EXPECT_FALSE(form.sendImageButton.down);
  EXPECT_FALSE(form.state.txInProgress);

  // A file that holds no picture is named as such, not as too small.
  TempFolder folder;
  std::ofstream(folder.file("notes.jpg")) << "not a picture";
  platform.messages.clear();
  EXPECT_FALSE(form.loadTransmitImage(folder.file("notes.jpg")));
  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_EQ(platform.messages.size(), 2u);
  for (const auto& m : platform.messages)
    EXPECT_EQ(m.text, "The file is not a JPEG, PNG or BMP picture: " + folder.file("notes.jpg"));
}

TEST_F(TransmitCommands, SendImageLocksTheControlsAndShowsTheNotice) {
  useClipboardPicture(640, 480);
  form.pictureTabs.index = 2;
  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_TRUE(form.state.txInProgress);
  EXPECT_EQ(form.state.txKind, kTxImage);
  EXPECT_EQ(form.state.txBlocksAcross, 20);
  EXPECT_EQ(form.state.txBlocksDown, 15);
  EXPECT_EQ(form.pictureTabs.index, 0);
  EXPECT_EQ(form.callsignPanel.caption, "QA1BCD");
  for (const Button* b : {&form.sendBsrButton, &form.respBsrButton, &form.sendTextButton,
                          &form.deleteImageButton, &form.logOutButton, &form.toClipboardButton,
                          &form.fromClipboardButton, &form.settingsButton})
    EXPECT_FALSE(b->enabled) << b->caption;
  EXPECT_FALSE(form.scaleCombo.enabled);
  EXPECT_FALSE(form.modeCombo.enabled);
  EXPECT_TRUE(form.codeCombo.enabled);
  ASSERT_EQ(platform.drawnTexts.size(), 1u);
  EXPECT_EQ(platform.drawnTexts[0].text, "Now Image Compressing...");
  EXPECT_EQ(platform.drawnTexts[0].x, 80);
  EXPECT_EQ(platform.drawnTexts[0].y, 110);
  EXPECT_EQ(form.txPicture.at(0, 0), (Colour{200, 100, 50}));

  // Releasing the button stops at the last block; the sequencer then sends abort frames.
  form.sendImageButton.down = false;
  form.sendImageClicked();
  EXPECT_TRUE(form.state.txStopRequested);
  EXPECT_EQ(form.state.txBlockCol, 19);
  EXPECT_EQ(form.state.txBlockRow, 14);

  // The transmission runs out and every control comes back.
  for (int i = 0; i < 400 && form.state.txInProgress; ++i) form.transmitStep();
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_TRUE(form.settingsButton.enabled);
  EXPECT_TRUE(form.sendTextButton.enabled);
  EXPECT_TRUE(form.scaleCombo.enabled);
  EXPECT_FALSE(form.deleteImageButton.enabled);  // TX tab shown
  EXPECT_EQ(form.callsignPanel.caption, "");
}

TEST_F(TransmitCommands, BlocksAppearInThePreviewAsTheyAreSentAndEveryPressDrawsANewOrder) {
  useClipboardPicture(640, 480);
  form.settings.scanDirection = kScanRandom;
  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_EQ(form.pictureBox.shown, &form.txPreviewPicture);
  const Picture black(320, 240);
  EXPECT_EQ(*form.pictureBox.shown, black);
  const auto firstOrder = form.state.scanPermutation;

  // A few block frames into the transmission the box shows them, without being told again.
  for (int i = 0; i < 40; ++i) form.transmitStep();
  ASSERT_TRUE(form.state.txInProgress);
  const int firstBlock = firstOrder[0];
  const Colour sent = form.pictureBox.shown->at(firstBlock % 20 * 16 + 8, firstBlock / 20 * 16 + 8);
  EXPECT_NEAR(sent.red, 200, 8);  // as coded: close to the picture's colour
  EXPECT_NEAR(sent.green, 100, 8);
  EXPECT_NEAR(sent.blue, 50, 8);
  EXPECT_NE(*form.pictureBox.shown, black);

  // A second press within the same second (after the first transmission was stopped) still
  // draws a fresh random order.
  form.sendImageButton.down = false;
  form.sendImageClicked();
  for (int i = 0; i < 400 && form.state.txInProgress; ++i) form.transmitStep();
  ASSERT_FALSE(form.state.txInProgress);
  form.sendImageButton.down = true;
  form.sendImageClicked();
  EXPECT_EQ(platform.seconds, 1'700'000'000);
  EXPECT_NE(form.state.scanPermutation, firstOrder);
}

TEST_F(TransmitCommands, SendTextEchoesOnceClearedAndEmptiesTheField) {
  form.sendTextClicked();  // still the prompt: nothing happens
  EXPECT_FALSE(form.state.txInProgress);
  form.textEdit.text = "hello";
  form.sendTextClicked();
  EXPECT_TRUE(form.state.txInProgress);
  EXPECT_EQ(form.messageLog.lines, std::vector<std::string>{"QA1BCD>hello"});
  EXPECT_TRUE(form.state.startupLinesCleared);
  EXPECT_EQ(form.textEdit.text, "");
  finishTransmission();
  form.textEdit.text = "again";
  form.sendTextClicked();
  EXPECT_EQ(form.messageLog.lines, (std::vector<std::string>{"QA1BCD>hello", "QA1BCD>again"}));

  finishTransmission();
  form.state.waveLoopMode = true;
  form.textEdit.text = "looped";
  form.sendTextClicked();
  EXPECT_EQ(form.messageLog.lines.size(), 2u);
  EXPECT_EQ(form.textEdit.text, "");
}

TEST_F(TransmitCommands, TextTooLongForOneFrameIsRefusedAndKept) {
  form.codeCombo.index = 1;  // coded frames carry 254 bytes with callsign and ">"
  form.textEdit.text = std::string(248, 'x');
  form.sendTextClicked();
  EXPECT_FALSE(form.state.txInProgress);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].text.find("at most 247 characters"), std::string::npos);
  EXPECT_EQ(form.textEdit.text.size(), 248u);
  form.textEdit.text.pop_back();
  form.sendTextClicked();
  EXPECT_TRUE(form.state.txInProgress);
}

TEST_F(TransmitCommands, BsrButtonsSpringBackWithNothingToDo) {
  form.sendBsrButton.down = true;
  form.sendBsrClicked();
  EXPECT_FALSE(form.sendBsrButton.down);
  form.respBsrButton.down = true;
  form.respBsrClicked();
  EXPECT_FALSE(form.respBsrButton.down);
  EXPECT_FALSE(form.state.txInProgress);
  EXPECT_TRUE(platform.messages.empty());

  form.state.missingBlockCount = 3;
  form.sendBsrButton.down = true;
  form.sendBsrClicked();
  EXPECT_TRUE(form.state.txInProgress);
  EXPECT_TRUE(form.state.awaitingBsrReply);
  EXPECT_EQ(form.state.savedMissingBlockCount, 3);
}

// After a picture was made whole by BSR answers, or once a new picture begins, no request of
// it comes back when one of the station's own transmissions ends.
TEST_F(TransmitCommands, TheRequestListEndsWhenThePictureIsWholeOrANewPictureBegins) {
  RxFrameInfo end;
  end.kind = kFrameEnd;
  const auto receivePictureMissing = [&](int missing) {
    form.startImageReception();
    form.state.receivedBlockMap.fill(1);
    for (int i = 0; i < missing; ++i) form.state.receivedBlockMap[(i % kBlocksAcross) * kBlockMapSide + i / kBlocksAcross] = 0;
    form.state.blockStreamIdle = false;  // blocks came
    form.frameHeaderActions(end);
  };
  receivePictureMissing(40);
  EXPECT_EQ(form.sendBsrButton.caption, "Send 40 BSR");
  form.sendBsrButton.down = true;
  form.sendBsrClicked();
  ASSERT_TRUE(form.state.txInProgress);
  form.releaseRadio();
  EXPECT_EQ(form.sendBsrButton.caption, "Send 40 BSR");  // the request stands until answered
  // The answer comes in the order asked: the receiver is told the two blocks due next (no
  // copy of them held, so no length), first the first two, then the two after each one read.
  const auto& next = form.receiver().frame.nextBlocks;
  const auto& list = form.state.missingBlockList;
  EXPECT_TRUE(next[1].col == list[1].col && next[1].row == list[1].row && next[0].payloadLength == -1);
  RxFrameInfo answer{kFrameBsrResponse, false, false, list[6].col, list[6].row};
  form.frameHeaderActions(answer);
  EXPECT_TRUE(next[0].col == list[7].col && next[0].row == list[7].row);

  // The answers fill every gap; their end frame closes the picture again.
  form.state.receivedBlockMap.fill(1);
  form.state.imageClosed = false;
  form.state.blockStreamIdle = false;
  form.frameHeaderActions(end);
  EXPECT_FALSE(form.sendBsrButton.enabled);
  EXPECT_EQ(next[0].col, -1);  // none due after the answer's end
  form.textEdit.text = "tnx";
  form.sendTextClicked();
  ASSERT_TRUE(form.state.txInProgress);
  form.releaseRadio();
  EXPECT_FALSE(form.sendBsrButton.enabled);
  EXPECT_EQ(form.sendBsrButton.caption, "Send BSR");

  // A picture still missing blocks is given up by sending one of the station's own.
  receivePictureMissing(12);
  useClipboardPicture(320, 240);
  form.sendImageButton.down = true;
  form.sendImageClicked();
  ASSERT_TRUE(form.state.txInProgress);
  form.releaseRadio();
  EXPECT_FALSE(form.sendBsrButton.enabled);
  EXPECT_EQ(form.sendBsrButton.caption, "Send BSR");
}

}  // namespace
