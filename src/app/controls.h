#pragma once
// Controls as plain data. The form models own them and change them in their handlers; the
// window layer only draws them and forwards events, so every behaviour runs without a display.
#include <string>
#include <vector>

#include "imaging/picture.h"

namespace colours {
// A hint text in an edit field, such as textEdit's prompt.
inline constexpr Colour promptGrey{128, 128, 128};
}  // namespace colours

struct Button {
  std::string caption;
  bool enabled = true;
  bool down = false;  // toggle buttons only
  Colour font = colours::black;
};

struct Label {
  std::string caption;
  Colour font = colours::black;
  Colour background = colours::valueLabelGrey;
  bool enabled = true;
};

struct Combo {
  std::vector<std::string> items;
  int index = -1;  // -1 = no selection
  bool enabled = true;
  bool valid() const { return index >= 0 && index < static_cast<int>(items.size()); }
};

struct Edit {
  std::string text;
  int maxLength = 0;  // 0 = unlimited
  bool enabled = true;
  Colour font = colours::black;
};

// A read-only list of lines. A line may carry a stamp (the time it was added) that the window
// shows before it; the line itself stays as the program wrote it.
struct Memo {
  std::vector<std::string> lines;
  std::vector<std::string> stamps;  // stamps[i] belongs to lines[i]; missing or empty: none
  void clear() {
    lines.clear();
    stamps.clear();
  }
  void add(std::string line, std::string stamp = {}) {
    stamps.resize(lines.size());
    lines.push_back(std::move(line));
    stamps.push_back(std::move(stamp));
  }
  const std::string& stampOf(size_t i) const {
    static const std::string none;
    return i < stamps.size() ? stamps[i] : none;
  }
};

// A picture box shows one of the form's pictures itself (not a copy), so every change to that
// picture is visible at the next redraw. The picture must outlive the box or be replaced first.
struct ImageBox {
  int width = 0;
  int height = 0;
  const Picture* shown = nullptr;  // nothing shown yet
  std::string hint;
  std::string prompt{};  // drawn over the picture while not empty (how to fill an empty box)
  void show(const Picture& picture) { shown = &picture; }
  void show(const Picture&&) = delete;  // a temporary would vanish while shown
};

struct Panel {
  std::string caption;
  Colour background = colours::black;
  Colour font = colours::white;
};

struct TabControl {
  std::vector<std::string> tabs;
  int index = 0;
  bool enabled = true;
};

// A progress line: a bar of `value` out of `maximum` with its text; hidden when not visible.
struct ProgressLine {
  bool visible = false;
  int value = 0;
  int maximum = 1;
  std::string text;
  friend bool operator==(const ProgressLine&, const ProgressLine&) = default;
};

// --- dialog controls ---

struct CheckBox {
  std::string caption;
  bool checked = false;
  bool enabled = true;
};

// One button of a group; the window layer keeps exactly one button of a group checked, as the
// toolkit does, and the form reads which one it is.
struct RadioButton {
  std::string caption;
  bool checked = false;
  bool enabled = true;
};

// An up-down counter; its position is shown in a separate value label.
struct UpDown {
  int min = 0;
  int max = 100;
  int position = 0;
  bool enabled = true;
  void setPosition(int value) { position = value < min ? min : (value > max ? max : value); }
};

// A track bar: `position` always lies within min..max; `frequency` is the tick spacing.
struct TrackBar {
  int min = 0;
  int max = 10;
  int position = 0;
  int frequency = 1;
  bool vertical = true;
  void setPosition(int p) { position = p < min ? min : p > max ? max : p; }
};

// A window's place and size on the screen.
struct FormBounds {
  int top = 0;
  int left = 0;
  int width = 0;
  int height = 0;
};

// Places a window of its own size in the middle of its owner (integer halves).
inline FormBounds centredOn(FormBounds own, const FormBounds& owner) {
  own.top = owner.top + owner.height / 2 - own.height / 2;
  own.left = owner.left + owner.width / 2 - own.width / 2;
  return own;
}
