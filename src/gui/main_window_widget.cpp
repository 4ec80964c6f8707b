#include "gui/main_window_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <chrono>

#include "gui/control_sync.h"
#include "gui/dialog_windows.h"
#include "gui/gallery_window.h"
#include "gui/picture_view.h"
#include "gui/tool_tips.h"

int virtualKeyCode(int qtKey, bool keypad) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return keypad ? 0x60 + (qtKey - Qt::Key_0) : qtKey;
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // their capital ASCII codes
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 0x70 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_Comma:
      return 0xBC;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return 0;
    default:
      return 0xFF;
  }
}

namespace {
// The places of the controls in the 833 x 317 client area: the signal displays, the callsign
// panel, the error map and the message log on the left; the picture with its tabs in the
// middle; the transmit controls and the commands on the right.
constexpr int kRight = 616;   // left edge of the command column
constexpr int kRightW = 209;  // its width
constexpr int kHalfW = 102;   // a button of half that width
}  // namespace

MainWindowWidget::MainWindowWidget(MainWindow& form, QWidget* parent)
    : QWidget(parent), form_(form) {
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setAcceptDrops(true);

  // --- left: waterfall / eye diagram, callsign panel, error map, message log ---
  auto* signalView = new PictureView(form.signalDisplay, this);
  signalView->move(8, 8);
  widgets_[&form.signalDisplay] = signalView;
  connect(signalView, &PictureView::clicked, this,
          [this] { run([this] { form_.signalDisplayClicked(); }); });
  // Across the top of the waterfall while a sound device is missing.
  QLabel* soundState = addLabel(form.soundStateLabel, this, QRect(8, 8, 256, 18));
  soundState->setAlignment(Qt::AlignCenter);
  syncs_.push_back([this, soundState] { soundState->setVisible(!form_.soundStateLabel.caption.empty()); });

  callsignFrame_ = new QFrame(this);
  callsignFrame_->setGeometry(8, 140, 256, 46);
  callsignFrame_->setAutoFillBackground(true);
  widgets_[&form.callsignPanel] = callsignFrame_;
  QFont panelFont = font();
  panelFont.setPixelSize(13);
  // The scale, the code and the frame kind of the reception above; its status and the callsign
  // panel's caption (the own callsign in red while transmitting, the received one after it).
  for (auto [label, place] : {std::pair{&form.rxScaleLabel, QRect(4, 2, 56, 20)},
                              std::pair{&form.rxCodeLabel, QRect(62, 2, 56, 20)},
                              std::pair{&form.rxKindLabel, QRect(120, 2, 132, 20)},
                              std::pair{&form.rxModeLabel, QRect(4, 23, 100, 20)}})
    addLabel(*label, callsignFrame_, place)->setFont(panelFont);
  callsignCaption_ = plainLabel({}, callsignFrame_);
  callsignCaption_->setGeometry(106, 23, 146, 20);
  callsignCaption_->setAlignment(Qt::AlignCenter);
  QFont callsignFont = panelFont;
  callsignFont.setPixelSize(16);
  callsignFont.setBold(true);
  callsignCaption_->setFont(callsignFont);
  syncs_.push_back([this] { callsignCaption_->setText(qs(form_.callsignPanel.caption)); });

  auto* errorMapView = new PictureView(form.errorMap, this);
  errorMapView->move(8, 192);
  widgets_[&form.errorMap] = errorMapView;
  addButton(form.finishRxButton, QRect(54, 192, 100, 30), [this] { form_.finishRxClicked(); });
  addButton(form.logOutButton, QRect(160, 192, 104, 30), [this] { form_.logOutClicked(); });

  messageLogView_ = new QPlainTextEdit(this);
  messageLogView_->setGeometry(8, 228, 256, 81);
  messageLogView_->setReadOnly(true);
  messageLogView_->setLineWrapMode(QPlainTextEdit::NoWrap);
  messageLogView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  messageLogView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  messageLogView_->viewport()->installEventFilter(this);
  widgets_[&form.messageLog] = messageLogView_;
  syncs_.push_back([this] { syncMemo(messageLogView_, form_.messageLog); });

  // --- middle: the picture, its status line and the tabs below ---
  auto* page = new QFrame(this);
  page->setGeometry(272, 8, 336, 272);
  page->setFrameShape(QFrame::StyledPanel);
  auto* pictureView = new PictureView(form.pictureBox, page);
  pictureView->move(8, 6);
  widgets_[&form.pictureBox] = pictureView;
  addLabel(form.statusLine, page, QRect(8, 250, 320, 18));
  tabs_ = new QTabBar(this);
  tabs_->setShape(QTabBar::RoundedSouth);
  for (const std::string& tab : form.pictureTabs.tabs) tabs_->addTab(qs(tab));
  tabs_->setGeometry(272, 279, 336, 30);
  tabs_->setExpanding(false);
  widgets_[&form.pictureTabs] = tabs_;
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    run([this, index] {
      form_.pictureTabs.index = index;
      form_.pictureTabChanged();
    });
  });
  syncs_.push_back([this] {
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(form_.pictureTabs.index);
    tabs_->setEnabled(form_.pictureTabs.enabled);
  });
  // Beside the tabs, within the window: blocks sent or held, and the time left.
  progress_ = new QProgressBar(this);
  progress_->setGeometry(412, 285, 192, 20);
  progress_->setTextVisible(true);
  syncs_.push_back([this] { syncProgress(progress_, form_.transferProgress()); });

  // The picture to send from a file chooser or the pictures sent last: the picture's context
  // menu and Ctrl+O.
  pictureMenu_ = new QMenu(this);
  pictureView->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(pictureView, &QWidget::customContextMenuRequested, this,
          [this, pictureView](const QPoint& at) { pictureMenu()->popup(pictureView->mapToGlobal(at)); });
  auto* open = new QShortcut(QKeySequence::Open, this);
  connect(open, &QShortcut::activated, this, [this] { run([this] { form_.openPictureClicked(); }); });
  // The gallery of stored pictures, a window of its own: the same menu and Ctrl+G.
  auto* gallery = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
  connect(gallery, &QShortcut::activated, this, [this] { run([this] { form_.galleryClicked(); }); });

  // --- right: transmit controls, then the commands ---
  addButton(
      form.sendImageButton, QRect(kRight, 8, kRightW, 28), [this] { form_.sendImageClicked(); },
      true);
  addButton(
      form.sendBsrButton, QRect(kRight, 40, kHalfW, 26), [this] { form_.sendBsrClicked(); }, true);
  addButton(
      form.respBsrButton, QRect(kRight + kRightW - kHalfW, 40, kHalfW, 26),
      [this] { form_.respBsrClicked(); }, true);
  addCombo(form.modeCombo, "Mode", QRect(kRight + 40, 72, 68, 24), [this] { form_.modeChanged(); });
  auto* scale = addCombo(form.scaleCombo, "Scale", QRect(kRight + 152, 72, 57, 24),
                         [this] { form_.scaleChanged(); });
  scale->setMaxVisibleItems(16);
  addCombo(form.codeCombo, "Code", QRect(kRight + 40, 100, kRightW - 40, 24),
           [this] { form_.codeChanged(); });

  textEntry_ = new QLineEdit(this);
  textEntry_->setGeometry(kRight, 130, kRightW, 24);
  textEntry_->installEventFilter(this);
  widgets_[&form.textEdit] = textEntry_;
  connect(textEntry_, &QLineEdit::textEdited, this,
          [this](const QString& text) { form_.textEdit.text = ss(text); });
  syncs_.push_back([this] { syncEdit(textEntry_, form_.textEdit); });
  addButton(form.sendTextButton, QRect(kRight, 158, kRightW, 26),
            [this] { form_.sendTextClicked(); });

  addButton(form.previousImageButton, QRect(kRight, 192, 40, 26),
            [this] { form_.previousImageClicked(); });
  addButton(form.nextImageButton, QRect(kRight + 44, 192, 40, 26),
            [this] { form_.nextImageClicked(); });
  addButton(form.deleteImageButton, QRect(kRight + 88, 192, kRightW - 88, 26),
            [this] { form_.deleteImageClicked(); });
  addButton(form.toClipboardButton, QRect(kRight, 224, kHalfW, 26),
            [this] { form_.toClipboardClicked(); });
  addButton(form.fromClipboardButton, QRect(kRight + kRightW - kHalfW, 224, kHalfW, 26),
            [this] { form_.fromClipboardClicked(); });
  addButton(form.afLevelButton, QRect(kRight, 262, kHalfW, 26), [this] { form_.afLevelClicked(); });
  addButton(form.settingsButton, QRect(kRight + kRightW - kHalfW, 262, kHalfW, 26),
            [this] { form_.settingsClicked(); });

  addMainWindowToolTips(*this);
  // The rig's frequency and band, under the commands, while rig control is on.
  addLabel(form.rigFrequencyLabel, this, QRect(kRight, 292, kRightW, 18))->setAlignment(Qt::AlignCenter);

  level_ = new LevelWindow(form.levelDialog, *this);
  notice_ = new NoticeWindow(form.deviceNotice, this);
  gallery_ = new GalleryWindow(form.gallery, *this);

  // Key preview: every key released anywhere in this window reaches keyReleased().
  qApp->installEventFilter(this);
  // A device that died posts nothing; its failure is looked for twice a second.
  auto* errorPoll = new QTimer(this);
  // The rig's answers are taken in as often, also when no buffers come.
  connect(errorPoll, &QTimer::timeout, this, [this] {
    if (!painting_) reportDeviceErrors();
    if (!painting_ && !closed_) run([this] { form_.checkRig(); });
  });
  errorPoll->start(500);
  // The radio's watchdog runs on its own timer: an output that stops playing posts nothing.
  auto* watchdog = new QTimer(this);
  connect(watchdog, &QTimer::timeout, this, [this] {
    if (painting_ || closed_ || !form_.state.txInProgress) return;
    run([this] { form_.checkOutputStall(std::chrono::steady_clock::now()); });
  });
  watchdog->start(100);  // with the model's limit, the lines drop within 1.85 s of the last buffer
  connect(qApp, &QGuiApplication::focusWindowChanged, this, &MainWindowWidget::focusMoved);
  refresh();
}

MainWindowWidget::~MainWindowWidget() { qApp->removeEventFilter(this); }

QPushButton* MainWindowWidget::addButton(Button& button, const QRect& place,
                                         std::function<void()> handler, bool toggle) {
  auto* widget = new QPushButton(this);
  widget->setGeometry(place);
  widget->setCheckable(toggle);
  widget->setFocusPolicy(Qt::NoFocus);  // speed buttons take no focus
  widgets_[&button] = widget;
  connect(widget, &QPushButton::clicked, this, [this, &button, handler, toggle](bool checked) {
    run([&button, handler, checked, toggle] {
      if (toggle) button.down = checked;  // a toggle is down or up before its handler runs
      handler();
    });
  });
  syncs_.push_back([widget, &button] { syncButton(widget, button); });
  return widget;
}

QComboBox* MainWindowWidget::addCombo(Combo& combo, const char* caption, const QRect& place,
                                      std::function<void()> handler) {
  auto* label = plainLabel(caption, this);  // the caption on the combo's left
  label->setGeometry(place.x() - 40, place.y(), 38, place.height());
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* widget = new QComboBox(this);
  widget->setGeometry(place);
  widgets_[&combo] = widget;
  connect(widget, &QComboBox::activated, this, [this, &combo, handler](int index) {
    run([&combo, handler, index] {
      combo.index = index;
      handler();
    });
  });
  syncs_.push_back([widget, &combo] { syncCombo(widget, combo); });
  return widget;
}

QLabel* MainWindowWidget::addLabel(Label& label, QWidget* parent, const QRect& place) {
  auto* widget = plainLabel({}, parent);
  widget->setGeometry(place);
  widgets_[&label] = widget;
  syncs_.push_back([widget, &label] { syncLabel(widget, label); });
  return widget;
}

QMenu* MainWindowWidget::pictureMenu() {
  pictureMenu_->clear();
  QAction* open = pictureMenu_->addAction("Open picture...", QKeySequence::Open);
  open->setEnabled(!form_.state.txInProgress);
  connect(open, &QAction::triggered, this, [this] { run([this] { form_.openPictureClicked(); }); });
  QAction* gallery = pictureMenu_->addAction("Gallery...", QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(gallery, &QAction::triggered, this, [this] { run([this] { form_.galleryClicked(); }); });
  const std::vector<std::string> recent = form_.recentPictures();
  if (!recent.empty()) pictureMenu_->addSection("Sent lately");
  for (size_t i = 0; i < recent.size(); ++i) {
    QAction* again = pictureMenu_->addAction(QFileInfo(qs(recent[i])).fileName());
    again->setToolTip(qs(recent[i]));
    again->setEnabled(!form_.state.txInProgress);
    connect(again, &QAction::triggered, this, [this, i] { run([this, i] { form_.openRecentPicture(i); }); });
  }
  return pictureMenu_;
}

QWidget* MainWindowWidget::widgetOf(const void* control) const {
  auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

void MainWindowWidget::refresh() {
  setWindowTitle(qs(form_.caption));
  QPalette palette = callsignFrame_->palette();
  palette.setColor(QPalette::Window, toQColor(form_.callsignPanel.background));
  palette.setColor(QPalette::WindowText, toQColor(form_.callsignPanel.font));
  callsignFrame_->setPalette(palette);
  for (const auto& sync : syncs_) sync();
  for (auto* view : findChildren<PictureView*>()) view->update();
  level_->refresh();
  notice_->refresh();
  gallery_->refresh();
}

void MainWindowWidget::run(const std::function<void()>& handler) {
  form_.runGuarded(handler);
  refresh();
}

void MainWindowWidget::wakeUp() {
  if (pumpPosted_.exchange(true)) return;  // one queued pump serves every message before it
  QMetaObject::invokeMethod(this, "pump", Qt::QueuedConnection);
}

void MainWindowWidget::paintNow() {
  refresh();
  painting_ = true;
  // Exposes and paints the windows just shown, such as the device notice. Posted device
  // messages wait (pump() notes them), and so do the operator's events.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
  level_->repaint();
  notice_->repaint();
  painting_ = false;
  if (pumpWaiting_) {
    pumpWaiting_ = false;
    wakeUp();
  }
}

void MainWindowWidget::pump() {
  pumpPosted_ = false;
  if (painting_) {
    pumpWaiting_ = true;
    return;
  }
  if (closed_) return;
  form_.pumpMessages();  // each buffer step runs under the model's guard
  refresh();
  reportDeviceErrors();
}

void MainWindowWidget::reportDeviceErrors() {
  if (!takeErrors_ || closed_) return;
  for (const std::string& error : takeErrors_()) form_.notify(error, true);
  refresh();
}

bool MainWindowWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && watched->isWidgetType()) {
    auto* target = static_cast<QWidget*>(watched);
    // Each release is seen once: at the widget that has the focus, or at the window itself.
    QWidget* focus = QApplication::focusWidget();
    auto* key = static_cast<QKeyEvent*>(event);
    if (target->window() == this && (target == focus || (!focus && target == this)) &&
        !key->isAutoRepeat()) {
      const int code = virtualKeyCode(key->key(), key->modifiers() & Qt::KeypadModifier);
      if (code) run([this, code] { form_.keyReleased(code); });
    }
  }
  if (watched == textEntry_ && event->type() == QEvent::MouseButtonPress)
    run([this] { form_.textEditClicked(); });
  if (watched == messageLogView_->viewport() && event->type() == QEvent::MouseButtonDblClick)
    run([this] { form_.messageLogDoubleClicked(); });
  return QWidget::eventFilter(watched, event);
}

void MainWindowWidget::keyReleaseEvent(QKeyEvent* event) { event->accept(); }

void MainWindowWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindowWidget::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(ss(url.toLocalFile()));
  event->acceptProposedAction();
  form_.dispatchMessage({MainWindow::kDropFilesMessage, nullptr, paths});
  refresh();
}

void MainWindowWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (activated_) return;
  activated_ = true;
  run([this] { form_.activated(); });
}

void MainWindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // The model knows where the window is now: the level dialog centres on it.
  form_.windowLeft = x();
  form_.windowTop = y();
}

void MainWindowWidget::focusMoved(QWindow* now) {
  const QWindow* before = lastFocus_;
  lastFocus_ = now;
  // From another window of this program (not from another program, which leaves no focus
  // window behind) back to the main window.
  if (closed_ || !activated_ || !before || !now || now != windowHandle() || before == now) return;
  run([this] { form_.activated(); });
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  // The radio first, before anything can show a box.
  form_.releaseRadio();
  closed_ = true;
  level_->close();
  notice_->close();
  gallery_->close();
  event->accept();
}
