#include "gui/first_start_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "gui/control_sync.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"

FirstStartWindow::FirstStartWindow(FirstStartPage& page, MainWindowWidget& main)
    : QDialog(&main), page_(page), main_(main) {
  setWindowTitle(qs(page.caption));
  auto* grid = new QGridLayout(this);
  FirstStartPage* form = &page_;  // handlers capture the model, never the window's `this`

  auto* intro = plainLabel(qs(page.introLabel.caption));
  intro->setWordWrap(true);
  grid->addWidget(intro, 0, 0, 1, 3);

  grid->addWidget(plainLabel("Callsign"), 1, 0);
  auto* callsign = new QLineEdit;
  grid->addWidget(callsign, 1, 1);
  connect(callsign, &QLineEdit::textEdited, this, [this, form](const QString& text) {
    run([form, text] {
      form->callsignEdit.text = ss(text);
      form->callsignEdited();
    });
  });
  syncs_.push_back([callsign, form] { syncEdit(callsign, form->callsignEdit); });
  auto* hint = plainLabel();
  grid->addWidget(hint, 2, 1);
  syncs_.push_back([hint, form] { syncLabel(hint, form->callsignHint); });

  auto addCombo = [&](Combo& combo, const char* caption, QGridLayout* layout, int row, int column,
                      std::function<void()> changed) {
    layout->addWidget(plainLabel(caption), row, column);
    auto* widget = new QComboBox;
    layout->addWidget(widget, row, column + 1);
    Combo* list = &combo;
    connect(widget, &QComboBox::activated, this, [this, list, changed](int i) {
      run([list, i, changed] {
        list->index = i;
        if (changed) changed();
      });
    });
    syncs_.push_back([widget, list] { syncCombo(widget, *list); });
  };
  addCombo(page.inputDeviceCombo, "Input device", grid, 3, 0, [form] { form->inputDeviceChanged(); });
  addCombo(page.outputDeviceCombo, "Output device", grid, 4, 0, [form] { form->outputDeviceChanged(); });
  auto* meter = new PictureView(page.inputMeter, this);
  meter->setToolTip("Input level: it moves when the radio is heard");
  grid->addWidget(meter, 1, 2, 4, 1);

  RigPanel* rig = &page.rigPanel;
  auto* rigBox = new QGroupBox("Push-to-talk");
  auto* rigGrid = new QGridLayout(rigBox);
  addCombo(rig->pttMethodCombo, "Push-to-talk", rigGrid, 0, 0, [form] { form->pttMethodChanged(); });
  addCombo(rig->pttTypeCombo, "PTT line", rigGrid, 0, 2, nullptr);
  addCombo(rig->rigMakerCombo, "Rig maker", rigGrid, 1, 0, [rig] { rig->makerChanged(); });
  addCombo(rig->rigModelCombo, "Model", rigGrid, 1, 2, nullptr);
  rigGrid->addWidget(plainLabel("Port"), 2, 0);
  auto* port = new QLineEdit;
  rigGrid->addWidget(port, 2, 1);
  connect(port, &QLineEdit::textEdited, this, [rig](const QString& t) { rig->rigPortEdit.text = ss(t); });
  syncs_.push_back([port, rig] { syncEdit(port, rig->rigPortEdit); });
  addCombo(rig->rigSpeedCombo, "Speed", rigGrid, 2, 2, nullptr);
  grid->addWidget(rigBox, 5, 0, 1, 3);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (auto [button, click] : {std::pair{&page.okButton, &FirstStartPage::okClicked},
                               std::pair{&page.cancelButton, &FirstStartPage::cancelClicked}}) {
    auto* widget = new QPushButton;
    widget->setAutoDefault(false);
    widget->setDefault(button == &page.okButton);
    buttons->addWidget(widget);
    Button* model = button;
    connect(widget, &QPushButton::clicked, this, [this, form, click] { run([form, click] { (form->*click)(); }); });
    syncs_.push_back([widget, model] { syncButton(widget, *model); });
  }
  grid->addLayout(buttons, 6, 0, 1, 3);

  // The input level follows the receive steps, which run while the page is open.
  auto* meterTimer = new QTimer(this);
  connect(meterTimer, &QTimer::timeout, meter, qOverload<>(&QWidget::update));
  meterTimer->start(250);
  refresh();
  setFixedSize(sizeHint());
}

void FirstStartWindow::refresh() {
  for (const auto& sync : syncs_) sync();
}

void FirstStartWindow::run(const std::function<void()>& handler) {
  main_.run(handler);
  refresh();
  if (page_.modalResult == ModalResult::ok) accept();
  if (page_.modalResult == ModalResult::cancel) QDialog::reject();
}

void FirstStartWindow::reject() {
  if (page_.modalResult == ModalResult::none) run([this] { page_.cancelClicked(); });
}

void runFirstStartWindow(FirstStartPage& page, MainWindowWidget& main) {
  FirstStartWindow window(page, main);
  window.move(main.geometry().center() - window.rect().center());
  window.exec();
}
