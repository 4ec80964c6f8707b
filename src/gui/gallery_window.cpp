#include "gui/gallery_window.h"

#include <QAbstractListModel>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/gallery_loader.h"
#include "gui/control_sync.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"

// The model's items as a Qt list: the lines under each thumbnail, the thumbnail (asked for
// only when the view paints its row) and the file name as tool tip.
class GalleryListModel : public QAbstractListModel {
 public:
  explicit GalleryListModel(GalleryDialog& form, QObject* parent) : QAbstractListModel(parent), form_(form) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : rows_;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    const int row = index.row();
    if (!index.isValid() || row >= static_cast<int>(form_.items.size())) return {};
    const GalleryItem& item = form_.items[static_cast<size_t>(row)];
    switch (role) {
      case Qt::DisplayRole:
        return qs(galleryItemText(item));
      case Qt::ToolTipRole:
        return qs(item.fileName) + (item.hasRecord ? QString() : QString("\n(no record)"));
      case Qt::DecorationRole: {
        if (const Picture* thumbnail = form_.thumbnail(row))
          return QPixmap::fromImage(toQImage(*thumbnail));
        return form_.thumbnailFailed(row) ? unreadable() : waiting();
      }
      default:
        return {};
    }
  }

  // Follows the model's list; a changed list is shown afresh.
  void follow(bool listChanged) {
    const int rows = static_cast<int>(form_.items.size());
    if (!listChanged && rows == rows_) return;
    beginResetModel();
    rows_ = rows;
    endResetModel();
  }

 private:
  static QPixmap blank(QColor colour, const char* sign) {
    QPixmap pixmap(GalleryLoader::kThumbnailWidth, GalleryLoader::kThumbnailHeight);
    pixmap.fill(colour);
    if (*sign) {
      QPainter painter(&pixmap);
      painter.drawText(pixmap.rect(), Qt::AlignCenter, sign);
    }
    return pixmap;
  }
  static const QPixmap& waiting() {
    static const QPixmap pixmap = blank(QColor(200, 200, 200), "");
    return pixmap;
  }
  static const QPixmap& unreadable() {
    static const QPixmap pixmap = blank(QColor(120, 120, 120), "?");
    return pixmap;
  }

  GalleryDialog& form_;
  int rows_ = 0;
};

GalleryWindow::GalleryWindow(GalleryDialog& form, MainWindowWidget& main)
    : QWidget(&main, Qt::Window), form_(form), main_(main) {
  setWindowTitle(qs(form.caption));
  resize(760, 540);
  auto* layout = new QVBoxLayout(this);

  model_ = new GalleryListModel(form, this);
  list_ = new QListView(this);
  list_->setViewMode(QListView::IconMode);
  list_->setResizeMode(QListView::Adjust);
  list_->setMovement(QListView::Static);
  list_->setUniformItemSizes(true);
  list_->setLayoutMode(QListView::Batched);
  list_->setBatchSize(500);
  list_->setIconSize(QSize(GalleryLoader::kThumbnailWidth, GalleryLoader::kThumbnailHeight));
  list_->setGridSize(QSize(150, 160));
  list_->setWordWrap(true);
  list_->setTextElideMode(Qt::ElideRight);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setModel(model_);
  layout->addWidget(list_, 1);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& now) { run([this, now] { form_.itemSelected(now.row()); }); });
  connect(list_, &QListView::activated, this,
          [this](const QModelIndex& index) { run([this, index] { form_.itemActivated(index.row()); }); });

  auto* buttons = new QHBoxLayout;
  struct Command {
    Button* button;
    void (GalleryDialog::*handler)();
  };
  for (Command command : {Command{&form.openButton, &GalleryDialog::openClicked},
                          Command{&form.deleteButton, &GalleryDialog::deleteClicked},
                          Command{&form.showFolderButton, &GalleryDialog::showFolderClicked},
                          Command{&form.copyButton, &GalleryDialog::copyClicked},
                          Command{&form.useButton, &GalleryDialog::useClicked}}) {
    auto* widget = new QPushButton(this);
    widget->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(widget);
    const auto handler = command.handler;
    connect(widget, &QPushButton::clicked, this, [this, handler] { run([this, handler] { (form_.*handler)(); }); });
    Button& button = *command.button;
    syncs_.push_back([widget, &button] { syncButton(widget, button); });
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);
  status_ = plainLabel({}, this);
  layout->addWidget(status_);
  syncs_.push_back([this] { status_->setText(qs(form_.statusLine.caption)); });

  // The picture opened large, twice its size, in a window of its own.
  large_ = new QWidget(this, Qt::Window);
  auto* largeLayout = new QVBoxLayout(large_);
  largePicture_ = plainLabel({}, large_);
  largePicture_->setAlignment(Qt::AlignCenter);
  largePicture_->setMinimumSize(320, 240);
  largeLayout->addWidget(largePicture_);
  large_->installEventFilter(this);
  syncs_.push_back([this] {
    if (!form_.largeVisible) {
      large_->hide();
      largeShown_ = nullptr;
      return;
    }
    if (largeShown_ == form_.largePicture.bytes().data() && large_->isVisible()) return;
    largeShown_ = form_.largePicture.bytes().data();
    large_->setWindowTitle(qs(form_.largeCaption));
    const QPixmap pixmap = QPixmap::fromImage(toQImage(form_.largePicture));
    const QSize limit(960, 720);
    largePicture_->setPixmap(pixmap.width() * 2 <= limit.width() && pixmap.height() * 2 <= limit.height()
                                 ? pixmap.scaled(pixmap.size() * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                 : pixmap.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    if (!large_->isVisible()) large_->show();
  });

  // The loader's thread only posts; the results are taken here, on the main thread.
  form_.setWakeUp([this] { QMetaObject::invokeMethod(this, [this] { takeResults(); }, Qt::QueuedConnection); });
  refresh();
}

GalleryWindow::~GalleryWindow() { form_.setWakeUp(nullptr); }

void GalleryWindow::takeResults() {
  GalleryDialog::Changes changes;
  main_.form().runGuarded([&] { changes = form_.resultsWaiting(); });
  model_->follow(changes.list);
  if (changes.thumbnails) list_->viewport()->update();
  refresh();
}

void GalleryWindow::run(const std::function<void()>& handler) {
  main_.run(handler);
  refresh();
}

void GalleryWindow::refresh() {
  model_->follow(false);
  const QModelIndex current = list_->currentIndex();
  if (form_.selected != (current.isValid() ? current.row() : -1)) {
    const QSignalBlocker block(list_->selectionModel());
    if (form_.selected >= 0)
      list_->setCurrentIndex(model_->index(form_.selected));
    else
      list_->clearSelection();
  }
  for (const auto& sync : syncs_) sync();
  if (form_.visible && !isVisible()) {
    show();
    raise();
    activateWindow();
  } else if (!form_.visible && isVisible()) {
    hide();
  }
}

bool GalleryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == large_ && event->type() == QEvent::Close && form_.largeVisible)
    run([this] { form_.largeClosed(); });
  return QWidget::eventFilter(watched, event);
}

void GalleryWindow::closeEvent(QCloseEvent* event) {
  run([this] { form_.closed(); });
  event->accept();
}

void GalleryWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    run([this] { form_.deleteClicked(); });
    return;
  }
  QWidget::keyPressEvent(event);
}
