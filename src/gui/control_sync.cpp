#include "gui/control_sync.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include "gui/picture_view.h"

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

// The model's text colour while the control is enabled; a disabled control keeps the style's
// grey, so it reads as disabled.
static void setTextColour(QWidget* widget, Colour font) {
  QPalette palette = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
      palette.setColor(group, role, toQColor(font));
  widget->setPalette(palette);
}

void syncButton(QAbstractButton* widget, const Button& button) {
  const QSignalBlocker block(widget);
  if (widget->text() != qs(button.caption)) widget->setText(qs(button.caption));
  widget->setEnabled(button.enabled);
  if (widget->isCheckable()) widget->setChecked(button.down);
  setTextColour(widget, button.font);
}

void syncLabel(QLabel* widget, const Label& label) {
  widget->setTextFormat(Qt::PlainText);
  if (widget->text() != qs(label.caption)) widget->setText(qs(label.caption));
  widget->setEnabled(label.enabled);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, toQColor(label.font));
  palette.setColor(QPalette::Window, toQColor(label.background));
  widget->setAutoFillBackground(true);
  widget->setPalette(palette);
}

void syncCombo(QComboBox* widget, const Combo& combo) {
  const QSignalBlocker block(widget);
  QStringList items;
  for (const std::string& item : combo.items) items << qs(item);
  bool same = widget->count() == items.size();
  for (int i = 0; same && i < items.size(); ++i) same = widget->itemText(i) == items[i];
  if (!same) {
    widget->clear();
    widget->addItems(items);
  }
  widget->setCurrentIndex(combo.valid() ? combo.index : -1);
  widget->setEnabled(combo.enabled);
}

void syncEdit(QLineEdit* widget, const Edit& edit) {
  const QSignalBlocker block(widget);
  widget->setMaxLength(edit.maxLength > 0 ? edit.maxLength : 32767);
  if (widget->text() != qs(edit.text)) widget->setText(qs(edit.text));
  widget->setEnabled(edit.enabled);
  setTextColour(widget, edit.font);
}

void syncMemo(QPlainTextEdit* widget, const Memo& memo) {
  QStringList lines;
  for (const std::string& line : memo.lines) lines << qs(line);
  const QString text = lines.join('\n');
  if (widget->toPlainText() == text) return;
  widget->setPlainText(text);
  // The newest line in view, read from its start, as a log is read.
  widget->verticalScrollBar()->setValue(widget->verticalScrollBar()->maximum());
  widget->horizontalScrollBar()->setValue(0);
}

void syncCheck(QAbstractButton* widget, const CheckBox& box) {
  const QSignalBlocker block(widget);
  widget->setText(qs(box.caption));
  widget->setChecked(box.checked);
  widget->setEnabled(box.enabled);
}

void syncRadio(QAbstractButton* widget, const RadioButton& radio) {
  const QSignalBlocker block(widget);
  widget->setText(qs(radio.caption));
  widget->setChecked(radio.checked);
  widget->setEnabled(radio.enabled);
}

void syncUpDown(QSpinBox* widget, const UpDown& upDown) {
  const QSignalBlocker block(widget);
  widget->setRange(upDown.min, upDown.max);
  widget->setValue(upDown.position);
  widget->setEnabled(upDown.enabled);
}

void syncTrackBar(QSlider* widget, const TrackBar& bar) {
  const QSignalBlocker block(widget);
  widget->setOrientation(bar.vertical ? Qt::Vertical : Qt::Horizontal);
  widget->setRange(bar.min, bar.max);
  // A vertical track bar has its minimum at the top, as its labels say; keys and the wheel
  // move the handle the way they point.
  widget->setInvertedAppearance(bar.vertical);
  widget->setInvertedControls(bar.vertical);
  widget->setTickInterval(bar.frequency);
  widget->setTickPosition(QSlider::TicksBothSides);
  widget->setValue(bar.position);
}
