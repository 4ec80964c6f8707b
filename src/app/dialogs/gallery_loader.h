#pragma once
// The gallery's work away from the main thread: listing the folder, making thumbnails and
// reading pictures in full, one job at a time on a thread of its own. The main thread hands in
// jobs and takes the finished results; it never waits for a file. After each finished job the
// wake-up callback runs on the worker thread, so a window system can schedule the take; it must
// only post (it runs under the loader's lock).
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/dialogs/gallery_items.h"
#include "imaging/picture.h"

class GalleryLoader {
 public:
  static constexpr int kThumbnailWidth = 96;
  static constexpr int kThumbnailHeight = 72;
  // Thumbnails asked for and not yet begun beyond this many are dropped, oldest first: they
  // belong to rows scrolled past, and are asked for again when they come back into view.
  static constexpr size_t kMaxWaitingThumbnails = 256;

  struct Thumbnail {
    std::string path;
    Picture picture;  // empty when the file is no readable picture
  };
  struct FullPicture {
    std::string path;
    int purpose = 0;
    Picture picture;  // empty when it could not be read (error says why)
    std::string error;
  };
  struct Results {
    std::optional<std::vector<GalleryItem>> list;  // a finished listing
    std::string listedFolder;
    std::vector<Thumbnail> thumbnails;
    std::vector<FullPicture> pictures;
    bool empty() const { return !list && thumbnails.empty() && pictures.empty(); }
  };

  explicit GalleryLoader(std::function<void()> wakeUp = nullptr);
  ~GalleryLoader();  // stops after the job in hand
  GalleryLoader(const GalleryLoader&) = delete;
  GalleryLoader& operator=(const GalleryLoader&) = delete;

  void setWakeUp(std::function<void()> wakeUp);
  // A new listing of folder; replaces one that has not begun.
  void list(const std::string& folder);
  // A thumbnail of the picture at path; the newest request is made first.
  void thumbnail(const std::string& path);
  // The whole picture at path, handed back with `purpose`.
  void picture(const std::string& path, int purpose);
  // Drops every job that has not begun.
  void cancelWaiting();
  // What has finished since the last take.
  Results take();
  // Waits up to `limit` until no job is waiting or running; true when idle.
  bool waitIdle(std::chrono::milliseconds limit);

 private:
  void run();
  void startIfNeeded();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> wakeUp_;
  std::optional<std::string> listing_;
  std::deque<std::string> thumbnails_;
  std::deque<std::pair<std::string, int>> pictures_;
  Results done_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

// The picture made smaller to fit width x height, its proportions kept (each pixel the mean of
// the pixels it covers); a smaller picture is kept as it is.
Picture fittedThumbnail(const Picture& picture, int width, int height);
