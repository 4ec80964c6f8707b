#pragma once
// The gallery window: the stored pictures newest first as thumbnails with who sent them, when
// (UTC), on which band, how well and how complete; a picture opened large, deleted (exactly
// that file and its record), its folder shown, copied to the clipboard or taken as the picture
// to send. Listing and thumbnails are made by the loader away from the main thread; the window
// layer takes its results in (resultsWaiting) and draws the model.
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/controls.h"
#include "app/dialogs/gallery_items.h"
#include "imaging/picture.h"

class GalleryLoader;
class Platform;

class GalleryDialog {
 public:
  // Takes the picture file as the picture to send (the main window's loadTransmitImage).
  using UseForSending = std::function<bool(const std::string& path)>;
  // Thumbnails kept in memory; the least recently shown go first.
  static constexpr size_t kMaxCachedThumbnails = 1500;

  GalleryDialog(Platform& platform, UseForSending useForSending);
  ~GalleryDialog();
  GalleryDialog(const GalleryDialog&) = delete;
  GalleryDialog& operator=(const GalleryDialog&) = delete;

  std::string caption = "Gallery";
  bool visible = false;
  std::string folder;               // the store folder listed
  std::vector<GalleryItem> items;   // newest first
  int selected = -1;                // index into items; -1: none
  Label statusLine{"", colours::black, colours::white};
  Button openButton{"Open", false};
  Button deleteButton{"Delete", false};
  Button showFolderButton{"Show folder", true};
  Button copyButton{"To Clipboard", false};
  Button useButton{"Use to send", false};

  // The picture opened large, in a window of its own while largeVisible.
  bool largeVisible = false;
  std::string largeCaption;
  Picture largePicture;

  // Runs on the loader's thread when results wait; the window layer posts resultsWaiting()
  // to its main thread from it (it must only post).
  void setWakeUp(std::function<void()> wakeUp);

  // Opens the window on folder and lists it anew.
  void show(const std::string& storeFolder);
  void closed();  // the window was closed: pending work dropped, the large view closed
  void itemSelected(int index);
  void itemActivated(int index);  // a double click or Enter: select, then open
  void openClicked();
  void deleteClicked();
  void showFolderClicked();
  void copyClicked();
  void useClicked();
  void largeClosed();

  // Takes in what the loader finished. What changed, for the window to redraw.
  struct Changes {
    bool list = false;
    bool thumbnails = false;
  };
  Changes resultsWaiting();

  // The thumbnail of item index; nullptr while it is being made (it is asked for) or when the
  // file is no readable picture (thumbnailFailed).
  const Picture* thumbnail(int index);
  bool thumbnailFailed(int index) const;
  // For tests and tools: waits up to `limit` for the loader to finish, then takes its results.
  bool settle(std::chrono::milliseconds limit);

 private:
  enum Purpose { kShowLarge = 1, kCopy = 2 };
  struct CachedThumbnail {
    Picture picture;
    std::list<std::string>::iterator use;
  };
  std::string pathOf(int index) const;
  bool hasSelection() const { return selected >= 0 && selected < static_cast<int>(items.size()); }
  void refreshButtons();
  void refreshStatus();
  void keepThumbnail(const std::string& path, Picture picture);

  Platform& platform_;
  UseForSending useForSending_;
  std::unique_ptr<GalleryLoader> loader_;
  bool listing_ = false;
  std::unordered_map<std::string, CachedThumbnail> thumbnails_;
  std::list<std::string> thumbnailUse_;  // most recently shown first
  std::unordered_set<std::string> thumbnailAsked_;
};
