#pragma once
// Controls as plain data. The form models own them and change them in their handlers; the
// window layer only draws them and forwards events, so every behaviour runs without a display.
#include <string>
#include <vector>

#include "imaging/picture.h"

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
};

struct Memo {
  std::vector<std::string> lines;
};

// A picture box shows one of the form's pictures itself (not a copy), so every change to that
// picture is visible at the next redraw. The picture must outlive the box or be replaced first.
struct ImageBox {
  int width = 0;
  int height = 0;
  const Picture* shown = nullptr;  // nothing shown yet
  std::string hint;
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
};
