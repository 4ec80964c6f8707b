#pragma once
// The window tests' Qt: one application on the offscreen platform for the whole process, and a
// wait that runs the event loop (timers, queued calls, device wake-ups) until a condition holds.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline QApplication& offscreenApplication() {
  static int argc = 1;
  static char name[] = "pelimo_window_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);  // kept to the end of the process
  return *app;
}

// Runs the event loop until `done` or `limitMs` have passed; the milliseconds it took.
inline qint64 runUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || clock.elapsed() >= limitMs) loop.quit();
  });
  poll.start(10);
  if (!done()) loop.exec();
  return clock.elapsed();
}
