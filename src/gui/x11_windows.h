#pragma once
// Another program's top-level window on X11, found by its exact title: the station-logging
// program the log export hands its line to. Only this file's implementation talks to X11.
#include <string>

enum class WindowReach { found, absent, noX11 };

// Whether a top-level window with exactly this title exists; noX11 when no X display is
// reachable (a Wayland session without XWayland) or the program was built without libxdo.
WindowReach findTitledWindow(const std::string& title);
// Whether other programs' windows can be reached at all (an X display and libxdo).
bool x11WindowsReachable();
// Raises the window with exactly this title, waits for it to take the focus (about 100 ms at
// most) and sends it the F8 key.
WindowReach sendF8ToTitledWindow(const std::string& title);
