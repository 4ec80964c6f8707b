// The windows under Qt's offscreen platform: they draw the form models and forward the
// operator's events to the models' handlers. Screenshots of every window are saved in the
// build folder on each run (screenshots/*.png).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QThread>
#include <QTimer>

#include "app/auto_operation.h"
#include "e2e/station_link.h"
#include "gui/dialog_windows.h"
#include "gui/first_start_window.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"
#include "support/fake_platform.h"
#include "support/textured_picture.h"
#include "gui/offscreen_events.h"
#include "gui/window_library_leaks.h"
#include "rig/rig_control.h"

namespace {

void saveScreenshot(QWidget& window, const char* name) {
  QDir().mkpath("screenshots");
  const QString path = QString("screenshots/%1.png").arg(name);
  ASSERT_TRUE(window.grab().save(path)) << path.toStdString();
}

template <class W>
W* widget(MainWindowWidget& window, const void* control) {
  auto* w = qobject_cast<W*>(window.widgetOf(control));
  EXPECT_NE(w, nullptr);
  return w;
}

// A station window whose settings dialog is drawn as a real window; while it is open,
// `operate` plays the operator (the dialog runs its own modal loop).
struct WithApplication {
  WithApplication() { offscreenApplication(); }
};

struct Station : WithApplication {
  FakePlatform platform;
  MainWindow form{platform};
  MainWindowWidget window{form};
  std::function<void(SettingsWindow&)> operate;
  Station() {
    platform.onSettingsDialog = [this](SettingsDialog& dialog) {
      QTimer::singleShot(0, [this] {
        auto* shown = qobject_cast<SettingsWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        if (operate) operate(*shown);
        if (shown->isVisible()) shown->reject();
      });
      runSettingsWindow(dialog, window);
    };
    window.show();
  }
};

TEST(MainWindow, OpensWithEveryControlAsTheModelListsIt) {
  Station s;
  MainWindow& f = s.form;
  EXPECT_EQ(s.window.windowTitle(), "Pelimo");
  EXPECT_EQ(s.window.size(), QSize(833, 317));
  EXPECT_EQ(s.window.minimumSize(), s.window.maximumSize());

  struct Expected {
    Button* button;
    const char* caption;
    bool enabled;
    QColor text;
  };
  const Expected buttons[] = {
      {&f.sendImageButton, "Send Image", true, Qt::red},
      {&f.sendBsrButton, "Send BSR", false, Qt::black},
      {&f.respBsrButton, "Resp BSR", false, Qt::black},
      {&f.previousImageButton, "<", true, Qt::black},
      {&f.nextImageButton, ">", true, Qt::black},
      {&f.sendTextButton, "Send Text", true, Qt::red},
      {&f.deleteImageButton, "Delete", false, Qt::black},  // off on the TX tab
      {&f.finishRxButton, "Finish RX", false, Qt::blue},
      {&f.logOutButton, "Log out", false, Qt::black},
      {&f.afLevelButton, "AF Level", true, Qt::black},
      {&f.toClipboardButton, "To Clipboard", true, Qt::black},
      {&f.fromClipboardButton, "From Clipboard", true, Qt::black},
      {&f.settingsButton, "Settings", true, Qt::black}};
  std::vector<QRect> places;
  for (const Expected& e : buttons) {
    auto* b = widget<QPushButton>(s.window, e.button);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), e.caption);
    EXPECT_EQ(b->isEnabled(), e.enabled) << e.caption;
    EXPECT_EQ(b->palette().color(QPalette::Active, QPalette::ButtonText), e.text) << e.caption;
    places.push_back(b->geometry());
  }
  EXPECT_TRUE(widget<QPushButton>(s.window, &f.sendImageButton)->isCheckable());
  EXPECT_FALSE(widget<QPushButton>(s.window, &f.sendTextButton)->isCheckable());

  auto items = [](QComboBox* c) {
    QStringList l;
    for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
    return l;
  };
  auto* mode = widget<QComboBox>(s.window, &f.modeCombo);
  EXPECT_EQ(items(mode), QStringList({"MSK", "4L-FSK"}));
  EXPECT_EQ(items(widget<QComboBox>(s.window, &f.codeCombo)),
            QStringList({"Normal (Non)", "Convolution"}));
  auto* scale = widget<QComboBox>(s.window, &f.scaleCombo);
  ASSERT_EQ(scale->count(), 16);
  EXPECT_EQ(scale->itemText(0), "0.07");
  EXPECT_EQ(scale->itemText(15), "2.00");
  EXPECT_EQ(scale->maxVisibleItems(), 16);
  for (QWidget* c : {static_cast<QWidget*>(mode), static_cast<QWidget*>(scale)}) places.push_back(c->geometry());

  auto* edit = widget<QLineEdit>(s.window, &f.textEdit);
  EXPECT_EQ(edit->text(), "Input Text and Click ->");
  EXPECT_EQ(edit->maxLength(), 510);
  auto* tabs = widget<QTabBar>(s.window, &f.pictureTabs);
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(2), "LOG");
  EXPECT_EQ(tabs->shape(), QTabBar::RoundedSouth);
  EXPECT_EQ(widget<QLabel>(s.window, &f.statusLine)->palette().color(QPalette::Window),
            QColor(160, 160, 160));
  EXPECT_EQ(widget<PictureView>(s.window, &f.signalDisplay)->size(), QSize(256, 127));
  EXPECT_EQ(widget<PictureView>(s.window, &f.errorMap)->toolTip(), "Error Display");
  EXPECT_EQ(widget<PictureView>(s.window, &f.pictureBox)->size(), QSize(320, 240));
  places.push_back(tabs->geometry());
  places.push_back(edit->geometry());

  // Every control lies inside the client area and none covers another.
  for (size_t i = 0; i < places.size(); ++i) {
    EXPECT_TRUE(s.window.rect().contains(places[i])) << i;
    for (size_t j = i + 1; j < places.size(); ++j) EXPECT_FALSE(places[i].intersects(places[j])) << i << "," << j;
  }

  // A key released anywhere in the window reaches the model (key preview): "T", "1".
  edit->setFocus();
  for (int key : {Qt::Key_T, Qt::Key_1}) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &s.window, &release);
  }
  EXPECT_EQ(f.state.keyHistory[0], '1');
  EXPECT_EQ(f.state.keyHistory[1], 'T');
  saveScreenshot(s.window, "main_window_idle");
}

TEST(MainWindow, SendImageWithoutCallsignAsksForItInTheSettingsDialog) {
  Station s;
  bool dialogSeen = false;
  s.operate = [&](SettingsWindow& dialog) {
    dialogSeen = dialog.isVisible() && dialog.windowTitle() == "Settings";
    EXPECT_EQ(s.platform.messages.size(), 1u);
  };
  widget<QPushButton>(s.window, &s.form.sendImageButton)->click();
  ASSERT_FALSE(s.platform.messages.empty());
  EXPECT_EQ(s.platform.messages[0].text, "Set your callsign");
  EXPECT_TRUE(dialogSeen);
  EXPECT_FALSE(s.form.state.txInProgress);
  // The toggle springs back in the model and on the screen.
  EXPECT_FALSE(s.form.sendImageButton.down);
  EXPECT_FALSE(widget<QPushButton>(s.window, &s.form.sendImageButton)->isChecked());
}

TEST(SettingsWindow, ShowsTheSettingsAndStoresWhatTheOperatorChangedOnOk) {
  Station s;
  s.form.settings.callsign = "JA1ABC";
  s.form.settings.timeoutSeconds = 40;
  s.form.settings.scanDirection = 1;
  s.form.settings.saveMinimum = false;
  s.form.settings.logBand = "20";
  s.operate = [&](SettingsWindow& d) {
    SettingsDialog& m = s.form.settingsDialog;
    auto* callsign = qobject_cast<QLineEdit*>(d.widgetOf(&m.callsignEdit));
    EXPECT_EQ(callsign->text(), "JA1ABC");
    EXPECT_EQ(qobject_cast<QLabel*>(d.widgetOf(&m.timeoutValue))->text(), "40");
    EXPECT_TRUE(qobject_cast<QRadioButton*>(d.widgetOf(&m.verticalScanRadio))->isChecked());
    EXPECT_FALSE(qobject_cast<QSpinBox*>(d.widgetOf(&m.saveMinimumCounter))->isEnabled());
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.widgetOf(&m.logBandEdit))->text(), "20");
    auto* input = qobject_cast<QComboBox*>(d.widgetOf(&m.inputDeviceCombo));
    EXPECT_EQ(input->itemText(0), "Default input device");
    saveScreenshot(d, "settings_dialog");

    callsign->setText("DL2XYZ");
    emit callsign->textEdited("DL2XYZ");
    qobject_cast<QSpinBox*>(d.widgetOf(&m.timeoutCounter))->setValue(75);
    EXPECT_EQ(qobject_cast<QLabel*>(d.widgetOf(&m.timeoutValue))->text(), "75");
    qobject_cast<QCheckBox*>(d.widgetOf(&m.saveMinimumCheck))->click();
    EXPECT_TRUE(qobject_cast<QSpinBox*>(d.widgetOf(&m.saveMinimumCounter))->isEnabled());
    qobject_cast<QRadioButton*>(d.widgetOf(&m.fullColourRadio))->click();  // "FullColor" is 3
    qobject_cast<QPushButton*>(d.widgetOf(&m.okButton))->click();
    EXPECT_FALSE(d.isVisible());
  };
  widget<QPushButton>(s.window, &s.form.settingsButton)->click();
  EXPECT_EQ(s.form.settings.callsign, "DL2XYZ");
  EXPECT_EQ(s.form.settings.timeoutSeconds, 75);
  EXPECT_TRUE(s.form.settings.saveMinimum);
  EXPECT_EQ(s.form.settings.waterfallColours, 3);
  EXPECT_EQ(s.form.settings.scanDirection, 1);
  EXPECT_EQ(s.form.settings.logBand, "20");

  // Closing the window stores nothing.
  s.operate = [&](SettingsWindow& d) {
    auto* callsign = qobject_cast<QLineEdit*>(d.widgetOf(&s.form.settingsDialog.callsignEdit));
    emit callsign->textEdited("XX9XX");
    d.close();
  };
  widget<QPushButton>(s.window, &s.form.settingsButton)->click();
  EXPECT_EQ(s.form.settings.callsign, "DL2XYZ");
}

TEST(SettingsWindow, RigSectionChoosesTheRigByMakerAndModelAndTestsIt) {
  Station s;
  s.form.settings.callsign = "JA1ABC";
  s.form.settings.pttMethod = 1;  // through the rig
  s.form.settings.rigModel = 1;   // Hamlib's simulated rig
  s.form.settings.rigSpeed = 19200;
  s.form.settings.pttType = 0;
  // The window shows the rig's frequency and band under the commands.
  s.form.applyRigSettings();
  ASSERT_TRUE(s.form.rig().waitForWorker(std::chrono::seconds(5)));
  s.window.run([&] { s.form.checkRig(); });
  EXPECT_EQ(widget<QLabel>(s.window, &s.form.rigFrequencyLabel)->text(), "145.000000 MHz  2m");
  saveScreenshot(s.window, "main_window_rig");
  s.operate = [&](SettingsWindow& d) {
    RigPanel& rig = s.form.settingsDialog.rigPanel;
    auto* method = qobject_cast<QComboBox*>(d.widgetOf(&rig.pttMethodCombo));
    auto* maker = qobject_cast<QComboBox*>(d.widgetOf(&rig.rigMakerCombo));
    auto* model = qobject_cast<QComboBox*>(d.widgetOf(&rig.rigModelCombo));
    auto* lineType = qobject_cast<QComboBox*>(d.widgetOf(&rig.pttTypeCombo));
    auto* status = qobject_cast<QLabel*>(d.widgetOf(&rig.statusLabel));
    ASSERT_TRUE(method && maker && model && lineType && status);
    EXPECT_EQ(method->currentText(), "Through the rig (Hamlib)");
    EXPECT_EQ(maker->currentText(), "Hamlib");
    EXPECT_EQ(model->currentText(), "Dummy");
    EXPECT_EQ(qobject_cast<QComboBox*>(d.widgetOf(&rig.rigSpeedCombo))->currentText(), "19200");
    EXPECT_TRUE(lineType->isEnabled());

    // "Test" connects the rig as the controls stand and keys it for one second.
    qobject_cast<QPushButton*>(d.widgetOf(&rig.testButton))->click();
    auto waitFor = [&](const QString& start) {
      for (int i = 0; i < 100 && !status->text().startsWith(start); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
      }
      return status->text();
    };
    EXPECT_EQ(waitFor("Keyed"), "Keyed 1 s, 145.000000 MHz");
    saveScreenshot(*d.widgetOf(&rig.pttMethodCombo)->parentWidget(), "settings_rig");
    EXPECT_TRUE(s.form.rig().isKeyed());
    EXPECT_EQ(waitFor("Released"), "Released");
    EXPECT_FALSE(s.form.rig().isKeyed());

    // Another maker lists its own models; VOX needs no PTT line.
    const int icom = maker->findText("Icom");
    ASSERT_GT(icom, 0);
    maker->setCurrentIndex(icom);
    emit maker->activated(icom);
    EXPECT_GT(model->count(), 10);
    EXPECT_NE(model->findText("IC-7300"), -1);
    model->setCurrentIndex(model->findText("IC-7300"));
    emit model->activated(model->currentIndex());
    method->setCurrentIndex(2);
    emit method->activated(2);
    EXPECT_FALSE(lineType->isEnabled());
    qobject_cast<QPushButton*>(d.widgetOf(&s.form.settingsDialog.okButton))->click();
  };
  widget<QPushButton>(s.window, &s.form.settingsButton)->click();
  EXPECT_EQ(s.form.settings.pttMethod, 2);
  EXPECT_EQ(s.form.settings.rigModel, 3073);  // Hamlib's number of the IC-7300
  EXPECT_EQ(s.form.settings.rigSpeed, 19200);
  EXPECT_EQ(s.form.rig().config().model, 3073);  // the station now works with that rig
}

TEST(LevelWindow, OpensFromAfLevelAndItsLabelsFollowTheTrackBars) {
  Station s;
  s.form.settings.inGainPos = -10;
  // Moved by the operator since it opened: the dialog centres on where the window is now.
  s.window.move(310, 170);
  QApplication::processEvents();
  widget<QPushButton>(s.window, &s.form.afLevelButton)->click();
  LevelWindow* level = s.window.levelWindow();
  ASSERT_TRUE(level->isVisible());
  EXPECT_EQ(level->pos(), s.window.pos() + QPoint(833 / 2 - 222 / 2, 317 / 2 - 185 / 2));
  EXPECT_EQ(s.window.pos(), QPoint(310, 170));
  EXPECT_EQ(level->windowTitle(), "Adjust input and output level");
  EXPECT_EQ(level->size(), QSize(222, 185));
  EXPECT_EQ(level->inputSlider()->value(), -10);
  level->inputSlider()->setValue(25);
  level->outputSlider()->setValue(80);
  EXPECT_EQ(s.form.settings.inGainPos, 25);
  EXPECT_EQ(s.form.settings.outGainPos, 80);
  QStringList texts;
  for (auto* l : level->findChildren<QLabel*>()) texts << l->text();
  EXPECT_TRUE(texts.contains("[-25dB]")) << texts.join('|').toStdString();
  EXPECT_TRUE(texts.contains("[-80dB]"));
  EXPECT_TRUE(texts.contains("+40dB"));
  s.form.inputPeak = 0.5;
  s.form.refreshLevelMeters();
  s.window.refresh();
  saveScreenshot(*level, "level_dialog");
  level->close();
  EXPECT_FALSE(s.form.levelDialog.visible);
}

TEST(MainWindow, ReceivedBlocksAndTheWaterfallAppearInTheDrawnWindow) {
  offscreenApplication();
  StationLink link;
  link.a->scaleCombo.index = 15;
  link.a->state.imageFromClipboard = true;
  link.a->clipboardPicture = texturedPicture();
  link.a->sendImageButton.down = true;
  link.a->sendImageClicked();
  ASSERT_TRUE(link.a->state.txInProgress);
  MainWindowWidget window(*link.b);
  window.show();
  link.runTransmission();
  window.refresh();
  ASSERT_LT(link.b->state.missingBlockCount, 300);

  const QImage shot = window.grab().toImage();
  auto* view = window.widgetOf(&link.b->pictureBox);
  const QPoint origin = view->mapTo(&window, QPoint(0, 0));
  EXPECT_EQ(link.b->pictureBox.shown, &link.b->rxPicture);
  int same = 0, lit = 0;
  for (int y = 0; y < 240; y += 7)
    for (int x = 0; x < 320; x += 7) {
      const QColor drawn = shot.pixelColor(origin + QPoint(x, y));
      same += drawn == toQColor(link.b->rxPicture.at(x, y));
      lit += drawn != Qt::black;
    }
  const int samples = 35 * 46;
  EXPECT_GT(same, samples * 99 / 100);
  EXPECT_GT(lit, samples / 2);
  // The error map shows green blocks, the waterfall is no longer black.
  const QPoint map = window.widgetOf(&link.b->errorMap)->mapTo(&window, QPoint(1, 1));
  EXPECT_EQ(shot.pixelColor(map), QColor(0, 255, 0));
  const QImage waterfall = window.widgetOf(&link.b->signalDisplay)->grab().toImage();
  int bright = 0;
  for (int y = 0; y < waterfall.height(); ++y) bright += waterfall.pixelColor(128, y) != Qt::black;
  EXPECT_GT(bright, 10);
  saveScreenshot(window, "main_window_received");
}

// Halfway through a picture: the sender's line counts blocks sent and the time left, the
// receiver's the blocks it holds; the window keeps its size and the specified status line.
TEST(MainWindow, ShowsHowFarAPictureOnTheAirHasCome) {
  offscreenApplication();
  StationLink link;
  link.a->scaleCombo.index = 15;
  link.platformA.clipboard = texturedPicture();
  link.a->fromClipboardClicked();  // "From Clipboard": the estimate gives the time left
  MainWindowWidget sender(*link.a), receiver(*link.b);
  sender.show();
  receiver.show();
  EXPECT_FALSE(sender.progressLine()->isVisible());
  link.a->sendImageButton.down = true;
  link.a->sendImageClicked();
  ASSERT_TRUE(link.a->state.txInProgress);
  const std::string timeLine = link.a->state.txTimeText;
  int ticks = 0;
  while (link.a->transferProgress().value < 150 && ticks++ < 2000) link.tick();
  sender.refresh();
  receiver.refresh();

  QProgressBar* sent = sender.progressLine();
  ASSERT_TRUE(sent->isVisible());
  EXPECT_EQ(sent->maximum(), 300);
  EXPECT_GE(sent->value(), 150);
  EXPECT_LT(sent->value(), 160);
  const QRegularExpression sending("^TX 1[56]\\d/300 blocks, \\d'\\d\\d'' left$");
  EXPECT_TRUE(sending.match(sent->format()).hasMatch()) << sent->format().toStdString();
  QProgressBar* held = receiver.progressLine();
  ASSERT_TRUE(held->isVisible());
  EXPECT_GT(held->value(), 100);
  EXPECT_EQ(held->format(), QString("RX %1/300 blocks held").arg(held->value()));
  EXPECT_EQ(sender.size(), QSize(833, 317));
  EXPECT_EQ(widget<QLabel>(sender, &link.a->statusLine)->text().toStdString(), timeLine);
  EXPECT_TRUE(sender.rect().contains(sent->geometry()));
  saveScreenshot(sender, "main_window_sending");
  saveScreenshot(receiver, "main_window_receiving");

  link.runTransmission();
  sender.refresh();
  EXPECT_FALSE(sender.progressLine()->isVisible());
}

// The picture's context menu offers the file chooser and the pictures sent lately; Ctrl+O is
// its shortcut. Tooltips explain Scale, Code and the logging program's window title.
TEST(MainWindow, PictureMenuAndToolTipsHelpThePickingOfAPicture) {
  Station s;
  s.form.settings.recentPicture1 = "/pictures/fox.png";
  s.form.settings.recentPicture2 = "/pictures/antenna.jpeg";
  QMenu* menu = s.window.pictureMenu();
  QStringList entries;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) entries << action->text();
  EXPECT_EQ(entries, QStringList({"Open picture...", "Gallery...", "fox.png", "antenna.jpeg"}));
  EXPECT_EQ(menu->actions().front()->shortcut(), QKeySequence(QKeySequence::Open));

  s.platform.chosenPicture = std::nullopt;
  menu->actions().front()->trigger();
  ASSERT_EQ(s.platform.chooserFolders.size(), 1u);
  EXPECT_EQ(s.platform.chooserFolders[0], "/pictures");

  EXPECT_TRUE(widget<QComboBox>(s.window, &s.form.scaleCombo)->toolTip().contains("quantisation"));
  EXPECT_TRUE(widget<QComboBox>(s.window, &s.form.codeCombo)->toolTip().contains("convolutional"));
  s.operate = [&](SettingsWindow& d) {
    EXPECT_TRUE(d.widgetOf(&s.form.settingsDialog.imageEditorEdit)->toolTip().contains("window title"));
  };
  s.form.settingsClicked();
}

TEST(PictureConversion, RoundTripsThroughQImageKeepingColourOrder) {
  Picture p(3, 2);
  p.set(0, 0, Colour{255, 0, 0});
  p.set(2, 1, Colour{1, 2, 3});
  const QImage image = toQImage(p);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(2, 1), QColor(1, 2, 3));
  EXPECT_EQ(fromQImage(image), p);
  EXPECT_TRUE(fromQImage(QImage()).empty());
  EXPECT_TRUE(toQImage(Picture()).isNull());
}

}  // namespace

// Automatic operation: its section of the settings dialog, with a tooltip on every choice, and
// the status line of a station that sends its BSR round by itself. The window keeps its size.
TEST(MainWindow, AutomaticRoundShowsInTheStatusLineAndItsSettingsInTheDialog) {
  Station s;
  s.form.settings.callsign = "JA1ABC";
  s.form.settings.autoBsr = true;
  s.form.settings.cwId = true;
  s.operate = [&](SettingsWindow& d) {
    AutoPanel& automatic = s.form.settingsDialog.autoPanel;
    auto* check = qobject_cast<QCheckBox*>(d.widgetOf(&automatic.autoBsrCheck));
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(qobject_cast<QComboBox*>(d.widgetOf(&automatic.roundsCombo))->currentText(), "3");
    EXPECT_EQ(qobject_cast<QComboBox*>(d.widgetOf(&automatic.timeLimitCombo))->currentText(), "15 min");
    for (const void* control : {(const void*)&automatic.autoBsrCheck, (const void*)&automatic.holdCombo,
                                (const void*)&automatic.cwIdCheck, (const void*)&automatic.timeLimitCombo})
      EXPECT_FALSE(d.widgetOf(control)->toolTip().isEmpty());
    saveScreenshot(*check->parentWidget(), "settings_auto");
  };
  widget<QPushButton>(s.window, &s.form.settingsButton)->click();

  ChannelModel noisy;
  noisy.snrDb = 3;
  StationLink link(noisy, 3);
  link.a->settings.autoBsr = link.b->settings.autoBsr = true;
  MainWindowWidget receiver(*link.b);
  receiver.show();
  link.sendClipboardPicture(15);
  for (int i = 0; i < 3000 && link.b->autoOperation().requestsSent == 0; ++i) link.tick();
  ASSERT_EQ(link.b->autoOperation().requestsSent, 1);
  for (int i = 0; i < 8; ++i) link.tick();
  receiver.refresh();
  const std::string status = widget<QLabel>(receiver, &link.b->statusLine)->text().toStdString();
  EXPECT_EQ(status, "Auto BSR: round 1 of 3, " + std::to_string(link.b->state.savedMissingBlockCount) + " blocks");
  EXPECT_TRUE(link.b->sendBsrButton.down);
  EXPECT_EQ(receiver.size(), QSize(833, 317));
  saveScreenshot(receiver, "main_window_auto_bsr");
}

TEST(FirstStartWindow, ANewStationIsSetUpOnThePageAndTheWindowThenNamesIt) {
  Station s;
  s.form.pictureTabChanged();
  s.window.refresh();
  EXPECT_EQ(s.window.windowTitle(), "Pelimo");
  saveScreenshot(s.window, "main_window_picture_hint");
  s.platform.onFirstStartPage = [&](FirstStartPage& page) {
    QTimer::singleShot(0, [&] {
      auto* shown = qobject_cast<FirstStartWindow*>(QApplication::activeModalWidget());
      ASSERT_NE(shown, nullptr);
      EXPECT_EQ(shown->windowTitle(), "Set up your station");
      auto* callsign = shown->findChild<QLineEdit*>();
      callsign->setText("ja1abc");
      emit callsign->textEdited("ja1abc");
      EXPECT_EQ(callsign->text(), "JA1ABC");  // in capitals as typed
      saveScreenshot(*shown, "first_start");
      for (auto* button : shown->findChildren<QPushButton*>())
        if (button->text() == "OK") button->click();
      EXPECT_FALSE(shown->isVisible());
    });
    runFirstStartWindow(page, s.window);
  };
  EXPECT_TRUE(offerFirstStart(s.form, false));
  EXPECT_EQ(s.form.settings.callsign, "JA1ABC");
  s.window.refresh();
  EXPECT_EQ(s.window.windowTitle(), "Pelimo \u2013 JA1ABC");
  EXPECT_FALSE(offerFirstStart(s.form, false));  // never again once a callsign is set
}
