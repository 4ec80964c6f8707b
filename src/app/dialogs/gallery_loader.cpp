#include "app/dialogs/gallery_loader.h"

#include <algorithm>

#include "imaging/jpeg_file.h"

Picture fittedThumbnail(const Picture& picture, int width, int height) {
  if (picture.empty() || (picture.width() <= width && picture.height() <= height)) return picture;
  const double scale = std::min(static_cast<double>(width) / picture.width(),
                                static_cast<double>(height) / picture.height());
  const int w = std::max(1, static_cast<int>(picture.width() * scale));
  const int h = std::max(1, static_cast<int>(picture.height() * scale));
  Picture small(w, h);
  for (int y = 0; y < h; ++y) {
    const int y0 = static_cast<int>(static_cast<int64_t>(y) * picture.height() / h);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(y + 1) * picture.height() / h));
    for (int x = 0; x < w; ++x) {
      const int x0 = static_cast<int>(static_cast<int64_t>(x) * picture.width() / w);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * picture.width() / w));
      uint64_t sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const uint8_t* p = picture.row(sy) + x0 * 3;
        for (int sx = x0; sx < x1; ++sx, p += 3)
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
      }
      const uint64_t count = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
      uint8_t* out = small.row(y) + x * 3;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / count);
    }
  }
  return small;
}

GalleryLoader::GalleryLoader(std::function<void()> wakeUp) : wakeUp_(std::move(wakeUp)) {}

GalleryLoader::~GalleryLoader() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void GalleryLoader::setWakeUp(std::function<void()> wakeUp) {
  std::lock_guard lock(mutex_);
  wakeUp_ = std::move(wakeUp);
}

void GalleryLoader::startIfNeeded() {
  if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
}

void GalleryLoader::list(const std::string& folder) {
  std::lock_guard lock(mutex_);
  listing_ = folder;
  startIfNeeded();
  changed_.notify_all();
}

void GalleryLoader::thumbnail(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::erase(thumbnails_, path);
  thumbnails_.push_front(path);
  if (thumbnails_.size() > kMaxWaitingThumbnails) thumbnails_.pop_back();
  startIfNeeded();
  changed_.notify_all();
}

void GalleryLoader::picture(const std::string& path, int purpose) {
  std::lock_guard lock(mutex_);
  pictures_.emplace_back(path, purpose);
  startIfNeeded();
  changed_.notify_all();
}

void GalleryLoader::cancelWaiting() {
  std::lock_guard lock(mutex_);
  listing_.reset();
  thumbnails_.clear();
  pictures_.clear();
  changed_.notify_all();
}

GalleryLoader::Results GalleryLoader::take() {
  std::lock_guard lock(mutex_);
  Results results = std::move(done_);
  done_ = {};
  return results;
}

bool GalleryLoader::waitIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] {
    return !busy_ && !listing_ && thumbnails_.empty() && pictures_.empty();
  });
}

void GalleryLoader::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || listing_ || !thumbnails_.empty() || !pictures_.empty();
    });
    if (stopping_) return;
    busy_ = true;
    // The listing first, then what the operator asked for, then the thumbnails in view.
    if (listing_) {
      const std::string folder = std::move(*listing_);
      listing_.reset();
      lock.unlock();
      std::vector<GalleryItem> items = listGalleryItems(folder);
      lock.lock();
      done_.list = std::move(items);
      done_.listedFolder = folder;
    } else if (!pictures_.empty()) {
      const auto [path, purpose] = pictures_.front();
      pictures_.pop_front();
      lock.unlock();
      PictureResult read = readJpegFile(path);
      FullPicture full{path, purpose, {}, read ? std::string() : read.error};
      if (read) full.picture = std::move(*read.picture);
      lock.lock();
      done_.pictures.push_back(std::move(full));
    } else {
      const std::string path = thumbnails_.front();
      thumbnails_.pop_front();
      lock.unlock();
      PictureResult read = readJpegFile(path);
      Thumbnail small{path, read ? fittedThumbnail(*read.picture, kThumbnailWidth, kThumbnailHeight)
                                 : Picture()};
      lock.lock();
      done_.thumbnails.push_back(std::move(small));
    }
    busy_ = false;
    changed_.notify_all();
    // Under the lock, so that once setWakeUp(nullptr) returns the old callback never runs again.
    if (wakeUp_) wakeUp_();
  }
}
