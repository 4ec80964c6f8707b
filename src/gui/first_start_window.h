#pragma once
// The first-start page's window (FirstStartPage): a modal dialog over the main window that
// draws the page's controls and forwards every event to the page's handlers.
#include <QDialog>
#include <functional>
#include <vector>

#include "app/dialogs/first_start_page.h"

class MainWindowWidget;

class FirstStartWindow : public QDialog {
  Q_OBJECT
 public:
  FirstStartWindow(FirstStartPage& page, MainWindowWidget& main);
  void refresh();
  // Runs one of the page's handlers, then closes the window once the page chose a result.
  void run(const std::function<void()>& handler);

 public slots:
  void reject() override;  // the window's close button or Escape: "Cancel"

 private:
  FirstStartPage& page_;
  MainWindowWidget& main_;
  std::vector<std::function<void()>> syncs_;
};

// Runs the first-start page modally over the main window until the page closes it.
void runFirstStartWindow(FirstStartPage& page, MainWindowWidget& main);
