#include "gui/dialog_windows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/control_sync.h"
#include "gui/tool_tips.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"

namespace {

// Places a window of the model's size at the model's place (client area = model bounds).
void placeAsModel(QWidget* window, const FormBounds& bounds) {
  window->setFixedSize(bounds.width, bounds.height);
  window->move(bounds.left, bounds.top);
}


}  // namespace

// --- level dialog ---

LevelWindow::LevelWindow(LevelDialog& form, MainWindowWidget& main)
    : QWidget(&main, Qt::Tool), form_(form), main_(main) {
  setWindowTitle(qs(form.caption));
  setFixedSize(form.bounds.width, form.bounds.height);
  struct Side {
    const std::string& caption;
    TrackBar& bar;
    Label &top, &bottom, &value;
    ImageBox& meter;
    void (LevelDialog::*change)();
  };
  const Side sides[2] = {
      {form.inputGroupTitle, form.inputLevelBar, form.inputMaxLabel, form.inputMinLabel,
       form.inputLevelValue, form.inputMeter, &LevelDialog::inputLevelChanged},
      {form.outputGroupTitle, form.outputLevelBar, form.outputMaxLabel, form.outputMinLabel,
       form.outputLevelValue, form.outputMeter, &LevelDialog::outputLevelChanged}};
  for (int i = 0; i < 2; ++i) {
    const Side& side = sides[i];
    auto* group = new QGroupBox(qs(side.caption), this);
    group->setGeometry(4 + i * 109, 2, 105, 181);
    auto* slider = new QSlider(group);
    slider->setGeometry(6, 20, 26, 150);
    sliders_[i] = slider;
    TrackBar& bar = side.bar;
    auto change = side.change;
    // The handlers capture plain pointers, never `this`: see the note on addCounter.
    TrackBar* track = &bar;
    auto* form = &form_;
    connect(slider, &QSlider::valueChanged, this, [this, track, form, change](int value) {
      main_.run([track, form, change, value] {
        track->setPosition(value);
        (form->*change)();
      });
    });
    syncs_.push_back([slider, &bar] { syncTrackBar(slider, bar); });
    for (auto [label, place] : {std::pair{&side.top, QRect(34, 20, 44, 16)},
                                std::pair{&side.bottom, QRect(34, 154, 44, 16)},
                                std::pair{&side.value, QRect(34, 87, 44, 16)}}) {
      auto* widget = plainLabel({}, group);
      widget->setGeometry(place);
      Label& model = *label;
      syncs_.push_back([widget, &model] { syncLabel(widget, model); });
    }
    auto* meter = new PictureView(side.meter, group);
    meter->move(80, 26);
  }
}

void LevelWindow::refresh() {
  if (!form_.visible) {
    if (isVisible()) hide();
    return;
  }
  for (const auto& sync : syncs_) sync();
  if (!isVisible()) {
    move(form_.bounds.left, form_.bounds.top);
    show();
  }
  for (auto* view : findChildren<PictureView*>()) view->update();
}

void LevelWindow::closeEvent(QCloseEvent* event) {
  form_.hide();
  event->accept();
}

// --- device notice ---

NoticeWindow::NoticeWindow(DeviceNotice& form, QWidget* owner)
    : QWidget(owner, Qt::Tool), form_(form), messageText_(plainLabel({}, this)) {
  setWindowTitle(qs(form.caption));
  messageText_->setAlignment(Qt::AlignCenter);
  messageText_->setGeometry(0, 0, form.bounds.width, form.bounds.height);
}

void NoticeWindow::refresh() {
  messageText_->setText(qs(form_.messageLabel.caption));
  if (form_.visible && !isVisible()) {
    placeAsModel(this, form_.bounds);
    show();
  } else if (!form_.visible && isVisible()) {
    hide();
  }
}

// --- settings dialog ---

SettingsWindow::SettingsWindow(SettingsDialog& form, MainWindowWidget& main)
    : QDialog(&main), form_(form), main_(main) {
  setWindowTitle(qs(form.caption));
  auto* grid = new QGridLayout(this);
  auto track = [this](const void* control, QWidget* widget) { widgets_.push_back({control, widget}); };

  auto addCombo = [&](Combo& combo, const char* caption, int row,
                      std::function<void()> changed = nullptr, QGridLayout* layout = nullptr,
                      int column = 0, int span = 3) {
    if (!layout) layout = grid;
    layout->addWidget(plainLabel(caption), row, column);
    auto* widget = new QComboBox;
    layout->addWidget(widget, row, column + 1, 1, span);
    Combo* list = &combo;
    connect(widget, &QComboBox::activated, this, [this, list, changed](int i) {
      run([list, i, changed] {
        list->index = i;
        if (changed) changed();
      });
    });
    syncs_.push_back([widget, &combo] { syncCombo(widget, combo); });
    track(&combo, widget);
  };
  auto addEdit = [&](Edit& edit, QGridLayout* layout, int row, int column) {
    auto* widget = new QLineEdit;
    layout->addWidget(widget, row, column);
    connect(widget, &QLineEdit::textEdited, this, [&edit](const QString& t) { edit.text = ss(t); });
    syncs_.push_back([widget, &edit] { syncEdit(widget, edit); });
    track(&edit, widget);
  };
  auto addLabel = [&](Label& label, QGridLayout* layout, int row, int column) {
    auto* widget = plainLabel();
    widget->setAlignment(Qt::AlignCenter);
    widget->setMinimumWidth(36);
    layout->addWidget(widget, row, column);
    syncs_.push_back([widget, &label] { syncLabel(widget, label); });
    track(&label, widget);
  };
  // A counter: arrows only, its value in the label beside it, then the unit.
  auto addCounter = [&](UpDown& upDown, Label& value, void (SettingsDialog::*click)(),
                        const char* caption, const char* unit, int row) {
    if (caption) grid->addWidget(plainLabel(caption), row, 0);
    auto* widget = new QSpinBox;
    widget->setFixedWidth(18);
    widget->setStyleSheet("QSpinBox { color: transparent; }");
    auto* line = new QGridLayout;
    addLabel(value, line, 0, 0);
    line->addWidget(widget, 0, 1);
    if (unit) line->addWidget(plainLabel(unit), 0, 2);
    line->setColumnStretch(3, 1);
    grid->addLayout(line, row, caption ? 1 : 2, 1, caption ? 3 : 2);
    // A handler that runs later must not reach the window through a `this` captured inside a
    // lambda of the constructor: the sanitizer saw it point at a dead stack slot. Plain
    // pointers to the model's objects are captured instead.
    UpDown* counter = &upDown;
    SettingsDialog* form = &form_;
    connect(widget, &QSpinBox::valueChanged, this, [this, counter, form, click](int v) {
      run([counter, form, click, v] {
        counter->setPosition(v);
        (form->*click)();
      });
    });
    syncs_.push_back([widget, &upDown] { syncUpDown(widget, upDown); });
    track(&upDown, widget);
  };
  auto addCheck = [&](CheckBox& box, void (SettingsDialog::*click)(), int row, int span,
                      QGridLayout* into = nullptr) {
    auto* widget = new QCheckBox;
    (into ? into : grid)->addWidget(widget, row, 0, 1, span);
    CheckBox* check = &box;
    SettingsDialog* form = &form_;
    connect(widget, &QCheckBox::clicked, this, [this, check, form, click](bool checked) {
      run([check, form, click, checked] {
        check->checked = checked;
        if (click) (form->*click)();
      });
    });
    syncs_.push_back([widget, &box] { syncCheck(widget, box); });
    track(&box, widget);
  };
  auto addRadios = [&](const char* caption, std::vector<RadioButton*> radios, int row, int column) {
    auto* group = new QGroupBox(caption);
    auto* layout = new QHBoxLayout(group);
    auto* buttons = new QButtonGroup(group);
    for (RadioButton* radio : radios) {
      auto* widget = new QRadioButton;
      layout->addWidget(widget);
      buttons->addButton(widget);
      syncs_.push_back([widget, radio] { syncRadio(widget, *radio); });
      track(radio, widget);
      connect(widget, &QRadioButton::clicked, this, [this, radios, radio] {
        run([radios, radio] {
          for (RadioButton* r : radios) r->checked = r == radio;
        });
      });
    }
    grid->addWidget(group, row, column, 1, 2);
  };

  int row = 0;
  addCombo(form.inputDeviceCombo, "Input device", row++);
  addCombo(form.outputDeviceCombo, "Output device", row++);
  addCombo(form.serialPortCombo, "RS232C port number", row++);
  grid->addWidget(plainLabel("Callsign"), row, 0);
  addEdit(form.callsignEdit, grid, row, 1);
  grid->addWidget(plainLabel("Image editor name"), row, 2);
  addEdit(form.imageEditorEdit, grid, row++, 3);
  addCounter(form.timeoutCounter, form.timeoutValue, &SettingsDialog::timeoutStepped,
             "Time out timer", "sec.", row++);
  addCounter(form.endFramesCounter, form.endFramesValue, &SettingsDialog::endFramesStepped,
             "End and abort command", "times", row++);
  addCounter(form.callsignRepeatCounter, form.callsignRepeatValue,
             &SettingsDialog::callsignRepeatStepped, "Header of callsign data", "times", row++);
  addCheck(form.autoSaveCheck, &SettingsDialog::autoSaveToggled, row++, 4);
  addCheck(form.errorFreeOnlyCheck, nullptr, row++, 4);
  addCheck(form.overwriteBsrCheck, nullptr, row++, 4);
  addCheck(form.deleteOnBsrCheck, nullptr, row++, 4);
  addCheck(form.saveMinimumCheck, &SettingsDialog::saveMinimumToggled, row, 2);
  addCounter(form.saveMinimumCounter, form.saveMinimumValue, &SettingsDialog::saveMinimumStepped,
             nullptr, nullptr, row);
  addLabel(form.errorFreeLabel, grid, row++, 3);
  addCheck(form.deleteOldCheck, &SettingsDialog::deleteOldToggled, row, 2);
  addCounter(form.deleteDaysCounter, form.deleteDaysValue, &SettingsDialog::deleteDaysStepped,
             nullptr, nullptr, row);
  addLabel(form.daysLabel, grid, row++, 3);
  addCheck(form.showClockCheck, nullptr, row++, 4);
  addRadios("Image block scan direction",
            {&form.horizontalScanRadio, &form.verticalScanRadio, &form.randomScanRadio}, row, 0);
  addRadios("Waterfall display color",
            {&form.monochromeRadio, &form.blueRadio, &form.fullColourRadio, &form.goldRadio}, row++,
            2);
  auto* log = new QGroupBox("Log out fix values");
  auto* logGrid = new QGridLayout(log);
  const char* logCaptions[] = {"Mode", "S/N", "Band"};
  Edit* logEdits[] = {&form.logModeEdit, &form.logReportEdit, &form.logBandEdit};
  for (int i = 0; i < 3; ++i) {
    logGrid->addWidget(plainLabel(logCaptions[i]), 0, i * 2);
    addEdit(*logEdits[i], logGrid, 0, i * 2 + 1);
  }
  grid->addWidget(log, row++, 0, 1, 4);
  NetworkPanel& net = form.networkPanel;
  auto* netBox = new QGroupBox("Logging programs and spots");
  auto* netGrid = new QGridLayout(netBox);
  addCheck(net.autoLogCheck, nullptr, 0, 2, netGrid);
  netGrid->addWidget(plainLabel("Logger UDP"), 0, 2);
  addEdit(net.udpServerEdit, netGrid, 0, 3);
  addCheck(net.reportHeardCheck, nullptr, 1, 2, netGrid);
  netGrid->addWidget(plainLabel("Locator"), 1, 2);
  addEdit(net.locatorEdit, netGrid, 1, 3);
  grid->addWidget(netBox, row++, 0, 1, 4);

  // Rig control: the way of keying, the rig by maker and model, its port and speed, the PTT line.
  RigPanel* rig = &form.rigPanel;
  auto* rigBox = new QGroupBox("Rig control (Hamlib)");
  auto* rigGrid = new QGridLayout(rigBox);
  addCombo(rig->pttMethodCombo, "Push-to-talk", 0, [rig] { rig->methodChanged(); }, rigGrid, 0, 1);
  addCombo(rig->pttTypeCombo, "PTT line", 0, nullptr, rigGrid, 2, 1);
  addCombo(rig->rigMakerCombo, "Rig maker", 1, [rig] { rig->makerChanged(); }, rigGrid, 0, 1);
  addCombo(rig->rigModelCombo, "Model", 1, nullptr, rigGrid, 2, 1);
  rigGrid->addWidget(plainLabel("Port"), 2, 0);
  addEdit(rig->rigPortEdit, rigGrid, 2, 1);
  addCombo(rig->rigSpeedCombo, "Speed", 2, nullptr, rigGrid, 2, 1);
  rigGrid->addWidget(plainLabel("PTT device"), 3, 0);
  addEdit(rig->pttDeviceEdit, rigGrid, 3, 1);
  auto* test = new QPushButton;
  test->setAutoDefault(false);
  rigGrid->addWidget(test, 3, 2);
  SettingsDialog* owner = &form_;
  connect(test, &QPushButton::clicked, this, [this, owner] { run([owner] { owner->rigTestClicked(); }); });
  syncs_.push_back([test, rig] { syncButton(test, rig->testButton); });
  track(&rig->testButton, test);
  auto* status = plainLabel();
  rigGrid->addWidget(status, 3, 3);
  syncs_.push_back([status, rig] { syncLabel(status, rig->statusLabel); });
  track(&rig->statusLabel, status);
  grid->addWidget(rigBox, row++, 0, 1, 4);
  // The rig test runs on while the dialog is open; its progress is looked at four times a second.
  auto* rigTimer = new QTimer(this);
  connect(rigTimer, &QTimer::timeout, this, [this, owner] { run([owner] { owner->rigTimerTick(); }); });
  rigTimer->start(250);

  // Automatic operation: BSR without presses, the free channel, the identification, the limit.
  AutoPanel* automatic = &form.autoPanel;
  auto* autoBox = new QGroupBox("Automatic operation");
  auto* autoGrid = new QGridLayout(autoBox);
  auto addBoxCheck = [&](CheckBox& box, int row) {
    auto* widget = new QCheckBox;
    autoGrid->addWidget(widget, row, 0, 1, 2);
    CheckBox* check = &box;
    connect(widget, &QCheckBox::clicked, this, [this, check](bool on) { run([check, on] { check->checked = on; }); });
    syncs_.push_back([widget, &box] { syncCheck(widget, box); });
    track(&box, widget);
  };
  addBoxCheck(automatic->autoBsrCheck, 0);
  addCombo(automatic->roundsCombo, "Rounds", 0, nullptr, autoGrid, 2, 1);
  addCombo(automatic->answerWaitCombo, "No answer after", 0, nullptr, autoGrid, 4, 1);
  addCombo(automatic->holdCombo, "Free channel for", 1, nullptr, autoGrid, 2, 1);
  addCombo(automatic->timeLimitCombo, "TX time limit", 1, nullptr, autoGrid, 4, 1);
  addBoxCheck(automatic->cwIdCheck, 2);
  addCombo(automatic->cwWpmCombo, "Speed", 2, nullptr, autoGrid, 2, 1);
  addCombo(automatic->cwToneCombo, "Tone", 2, nullptr, autoGrid, 4, 1);
  grid->addWidget(autoBox, row++, 0, 1, 4);

  auto* buttons = new QHBoxLayout;
  for (auto [button, click] :
       {std::pair{&form.okButton, &SettingsDialog::okClicked},
        std::pair{&form.volumeControlButton, &SettingsDialog::volumeControlClicked},
        std::pair{&form.cancelButton, &SettingsDialog::cancelClicked}}) {
    auto* widget = new QPushButton;
    buttons->addWidget(widget);
    widget->setAutoDefault(false);
    widget->setDefault(button == &form.okButton);
    Button& model = *button;
    SettingsDialog* dialog = &form_;
    connect(widget, &QPushButton::clicked, this, [this, dialog, click] { run([dialog, click] { (dialog->*click)(); }); });
    syncs_.push_back([widget, &model] { syncButton(widget, model); });
    track(button, widget);
  }
  grid->addLayout(buttons, row, 0, 1, 4);
  addSettingsToolTips(*this, form);
  refresh();
  setFixedSize(sizeHint());
}

QWidget* SettingsWindow::widgetOf(const void* control) const {
  for (const auto& [model, widget] : widgets_)
    if (model == control) return widget;
  return nullptr;
}

void SettingsWindow::refresh() {
  for (const auto& sync : syncs_) sync();
}

void SettingsWindow::run(const std::function<void()>& handler) {
  main_.run(handler);
  refresh();
  if (form_.modalResult == ModalResult::ok) accept();
  if (form_.modalResult == ModalResult::cancel) QDialog::reject();
}

void SettingsWindow::reject() {
  if (form_.modalResult == ModalResult::none) run([this] { form_.cancelClicked(); });
}

void runSettingsWindow(SettingsDialog& form, MainWindowWidget& main) {
  SettingsWindow window(form, main);
  // Centred on the main window as the model placed it; the model's size is only a hint here.
  window.move(main.geometry().center() - window.rect().center());
  window.exec();
}
