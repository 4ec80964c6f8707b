#include "gui/x11_windows.h"

#ifdef PELIMO_HAVE_XDO
#include <cctype>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
extern "C" {
#include <xdo.h>
}

namespace {

struct XdoDeleter {
  void operator()(xdo_t* xdo) const { xdo_free(xdo); }
};
using Xdo = std::unique_ptr<xdo_t, XdoDeleter>;

// The name search takes a regular expression; every character outside [A-Za-z0-9] is escaped
// so the title is matched literally, and the result is checked for the exact title again.
std::string literalPattern(const std::string& title) {
  std::string pattern = "^";
  for (char c : title) {
    if (!std::isalnum(static_cast<unsigned char>(c))) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

bool titleIs(const xdo_t* xdo, Window window, const std::string& title) {
  unsigned char* name = nullptr;
  int length = 0, type = 0;
  if (xdo_get_window_name(xdo, window, &name, &length, &type) != XDO_SUCCESS || !name)
    return false;
  const bool same = std::string(reinterpret_cast<char*>(name), length) == title;
  std::free(name);
  return same;
}

Window findWindow(const xdo_t* xdo, const std::string& title) {
  const std::string pattern = literalPattern(title);
  xdo_search_t search{};
  search.winname = pattern.c_str();
  search.searchmask = SEARCH_NAME;
  search.max_depth = -1;
  search.require = xdo_search_t::SEARCH_ALL;
  Window* windows = nullptr;
  unsigned int count = 0;
  xdo_search_windows(xdo, &search, &windows, &count);
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i)
    if (titleIs(xdo, windows[i], title)) found = windows[i];
  std::free(windows);
  return found;
}

Xdo openDisplay() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return nullptr;
  return Xdo(xdo_new(nullptr));
}

}  // namespace

bool x11WindowsReachable() { return openDisplay() != nullptr; }

WindowReach findTitledWindow(const std::string& title) {
  Xdo xdo = openDisplay();
  if (!xdo) return WindowReach::noX11;
  return findWindow(xdo.get(), title) ? WindowReach::found : WindowReach::absent;
}

WindowReach sendF8ToTitledWindow(const std::string& title) {
  Xdo xdo = openDisplay();
  if (!xdo) return WindowReach::noX11;
  const Window window = findWindow(xdo.get(), title);
  if (!window) return WindowReach::absent;
  xdo_activate_window(xdo.get(), window);
  // Give the window about 100 ms to take the focus before the key goes to it.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  xdo_send_keysequence_window(xdo.get(), window, "F8", 0);
  return WindowReach::found;
}

#else

bool x11WindowsReachable() { return false; }
WindowReach findTitledWindow(const std::string&) { return WindowReach::noX11; }
WindowReach sendF8ToTitledWindow(const std::string&) { return WindowReach::noX11; }

#endif
