#pragma once
// The secondary windows, drawn from their form models like the main window: the level dialog
// (LevelDialog, not modal), the device notice (DeviceNotice) and the settings dialog
// (SettingsDialog, modal). Every event runs through the main window's guard and refreshes all
// windows.
#include <QDialog>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/dialogs/device_notice.h"
#include "app/dialogs/level_dialog.h"
#include "app/dialogs/settings_dialog.h"

class MainWindowWidget;
class QLabel;
class QSlider;

class LevelWindow : public QWidget {
  Q_OBJECT
 public:
  LevelWindow(LevelDialog& form, MainWindowWidget& main);
  // Shown exactly while the model's dialog is visible, at the model's place.
  void refresh();
  QSlider* inputSlider() const { return sliders_[0]; }
  QSlider* outputSlider() const { return sliders_[1]; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  LevelDialog& form_;
  MainWindowWidget& main_;
  QSlider* sliders_[2] = {};
  std::vector<std::function<void()>> syncs_;
};

class NoticeWindow : public QWidget {
 public:
  NoticeWindow(DeviceNotice& form, QWidget* owner);
  void refresh();

 private:
  DeviceNotice& form_;
  QLabel* messageText_;
};

class SettingsWindow : public QDialog {
  Q_OBJECT
 public:
  SettingsWindow(SettingsDialog& form, MainWindowWidget& main);
  void refresh();
  // Runs one of the dialog's handlers, then closes the dialog once it chose a result.
  void run(const std::function<void()>& handler);
  // The widget of a model control, for tests; nullptr if unknown.
  QWidget* widgetOf(const void* control) const;

 public slots:
  void reject() override;  // the window's close button or Escape: "Cancel"

 private:
  SettingsDialog& form_;
  MainWindowWidget& main_;
  std::vector<std::function<void()>> syncs_;
  std::vector<std::pair<const void*, QWidget*>> widgets_;
};

// Runs the settings dialog window modally over the main window until the model closes it.
void runSettingsWindow(SettingsDialog& form, MainWindowWidget& main);
