#include "app/dialogs/gallery_dialog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/dialogs/gallery_loader.h"
#include "app/platform.h"
#include "core/display_text.h"
#include "library/image_store_files.h"

GalleryDialog::GalleryDialog(Platform& platform, UseForSending useForSending)
    : platform_(platform),
      useForSending_(std::move(useForSending)),
      loader_(std::make_unique<GalleryLoader>()) {}

GalleryDialog::~GalleryDialog() = default;

void GalleryDialog::setWakeUp(std::function<void()> wakeUp) { loader_->setWakeUp(std::move(wakeUp)); }

std::string GalleryDialog::pathOf(int index) const {
  return folder + "/" + items[static_cast<size_t>(index)].fileName;
}

void GalleryDialog::show(const std::string& storeFolder) {
  visible = true;
  if (storeFolder != folder) {
    thumbnails_.clear();
    thumbnailUse_.clear();
    items.clear();
    selected = -1;
  }
  folder = storeFolder;
  thumbnailAsked_.clear();
  loader_->cancelWaiting();
  listing_ = !folder.empty();
  if (listing_) loader_->list(folder);
  refreshStatus();
  refreshButtons();
}

void GalleryDialog::closed() {
  visible = false;
  largeVisible = false;
  loader_->cancelWaiting();
  thumbnailAsked_.clear();
  listing_ = false;
}

void GalleryDialog::itemSelected(int index) {
  selected = index >= 0 && index < static_cast<int>(items.size()) ? index : -1;
  refreshButtons();
}

void GalleryDialog::itemActivated(int index) {
  itemSelected(index);
  openClicked();
}

void GalleryDialog::openClicked() {
  if (!hasSelection()) return;
  loader_->picture(pathOf(selected), kShowLarge);
}

void GalleryDialog::copyClicked() {
  if (!hasSelection()) return;
  loader_->picture(pathOf(selected), kCopy);
}

void GalleryDialog::useClicked() {
  if (!hasSelection() || !useForSending_) return;
  if (useForSending_(pathOf(selected)))
    statusLine.caption = displayText(items[static_cast<size_t>(selected)].fileName) + " is the picture to send";
}

void GalleryDialog::showFolderClicked() {
  if (folder.empty() || !platform_.showFolder(folder))
    statusLine.caption = "The folder cannot be shown: " + displayText(folder);
}

void GalleryDialog::deleteClicked() {
  if (!hasSelection()) return;
  const std::string name = items[static_cast<size_t>(selected)].fileName;
  const std::string path = pathOf(selected);
  std::error_code ec;
  const bool present = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
  if (present) {
    if (!platform_.askYesNo("Delete " + displayText(name) + " , OK?", true)) return;
    std::string error;
    if (!deleteStoredPicture(path, error)) {
      platform_.messageBox(error, true);
      return;
    }
  } else {
    platform_.messageBox("File not found.", true);
  }
  // Either way the picture is gone from the folder: it leaves the list, and the next older one
  // takes its place in the selection.
  items.erase(items.begin() + selected);
  if (const auto kept = thumbnails_.find(path); kept != thumbnails_.end()) {
    thumbnailUse_.erase(kept->second.use);
    thumbnails_.erase(kept);
  }
  thumbnailAsked_.erase(path);
  if (largeVisible && largeCaption == displayText(name)) largeClosed();
  if (selected >= static_cast<int>(items.size())) selected = static_cast<int>(items.size()) - 1;
  refreshStatus();
  refreshButtons();
}

void GalleryDialog::largeClosed() {
  largeVisible = false;
  largePicture = Picture();
  largeCaption.clear();
}

GalleryDialog::Changes GalleryDialog::resultsWaiting() {
  Changes changes;
  GalleryLoader::Results results = loader_->take();
  if (results.list && listing_ && results.listedFolder == folder) {
    // The selection follows its picture into the new list.
    const std::string chosen = hasSelection() ? items[static_cast<size_t>(selected)].fileName : "";
    items = std::move(*results.list);
    const auto at = std::find_if(items.begin(), items.end(),
                                 [&](const GalleryItem& item) { return item.fileName == chosen; });
    selected = at == items.end() ? -1 : static_cast<int>(at - items.begin());
    listing_ = false;
    changes.list = true;
    refreshStatus();
    refreshButtons();
  }
  for (GalleryLoader::Thumbnail& made : results.thumbnails) {
    thumbnailAsked_.erase(made.path);
    keepThumbnail(made.path, std::move(made.picture));
    changes.thumbnails = true;
  }
  for (GalleryLoader::FullPicture& full : results.pictures) {
    const std::string name = std::filesystem::path(full.path).filename().string();
    if (full.picture.empty()) {
      statusLine.caption = displayText(full.error);
    } else if (full.purpose == kCopy) {
      platform_.setClipboardPicture(full.picture);
      statusLine.caption = displayText(name) + " is on the clipboard";
    } else if (visible) {
      largePicture = std::move(full.picture);
      largeCaption = displayText(name);
      largeVisible = true;
    }
  }
  return changes;
}

void GalleryDialog::keepThumbnail(const std::string& path, Picture picture) {
  if (const auto old = thumbnails_.find(path); old != thumbnails_.end()) {
    thumbnailUse_.erase(old->second.use);
    thumbnails_.erase(old);
  }
  thumbnailUse_.push_front(path);
  thumbnails_[path] = {std::move(picture), thumbnailUse_.begin()};
  while (thumbnails_.size() > kMaxCachedThumbnails) {
    thumbnails_.erase(thumbnailUse_.back());
    thumbnailUse_.pop_back();
  }
}

const Picture* GalleryDialog::thumbnail(int index) {
  if (index < 0 || index >= static_cast<int>(items.size())) return nullptr;
  const std::string path = pathOf(index);
  const auto kept = thumbnails_.find(path);
  if (kept == thumbnails_.end()) {
    if (thumbnailAsked_.insert(path).second) loader_->thumbnail(path);
    return nullptr;
  }
  thumbnailUse_.splice(thumbnailUse_.begin(), thumbnailUse_, kept->second.use);
  return kept->second.picture.empty() ? nullptr : &kept->second.picture;
}

bool GalleryDialog::thumbnailFailed(int index) const {
  if (index < 0 || index >= static_cast<int>(items.size())) return false;
  const auto kept = thumbnails_.find(pathOf(index));
  return kept != thumbnails_.end() && kept->second.picture.empty();
}

bool GalleryDialog::settle(std::chrono::milliseconds limit) {
  const bool idle = loader_->waitIdle(limit);
  resultsWaiting();
  return idle;
}

void GalleryDialog::refreshButtons() {
  const bool chosen = hasSelection();
  for (Button* button : {&openButton, &deleteButton, &copyButton, &useButton}) button->enabled = chosen;
  showFolderButton.enabled = !folder.empty();
}

void GalleryDialog::refreshStatus() {
  if (folder.empty())
    statusLine.caption = "No store folder";
  else if (listing_)
    statusLine.caption = "Reading " + displayText(folder) + " ...";
  else if (items.empty())
    statusLine.caption = "No pictures in " + displayText(folder);
  else
    statusLine.caption = std::to_string(items.size()) + (items.size() == 1 ? " picture in " : " pictures in ") +
                         displayText(folder);
}
