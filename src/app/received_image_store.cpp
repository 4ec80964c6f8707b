// The received-image store: automatic saves, browsing, deletion, the clipboard commands and
// the tab switching that decides what pictureBox and the status line show.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/main_window.h"
#include "core/display_text.h"
#include "imaging/jpeg_file.h"
#include "library/image_store_files.h"
#include "library/picture_record.h"
#include "library/stored_image_names.h"

namespace {

// The names pelimo-cli's --receiver gives the receivers (Settings::receiverKind).
const char* receiverName(int kind) {
  switch (kind) {
    case 0: return "improved";
    case 1: return "specified";
    default: return "coherent";
  }
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

std::string MainWindow::storeFolder() const {
  return dataFolder.empty() ? std::string() : storeFolderIn(dataFolder);
}

void MainWindow::saveReceivedImage() {
  const int good = kBlockCount - state.missingBlockCount;
  if (!settings.autoSave || storeFolder().empty()) {
    lastSaveOutcome = storeFolder().empty() ? "not saved: no store folder" : "not saved: AutoSave is off";
    return;
  }
  if (good <= 0) {
    lastSaveOutcome = "not saved: no block received";
    return;
  }
  if (settings.saveMinimum && settings.saveMinimumBlocks >= good) {
    lastSaveOutcome = "not saved: " + std::to_string(good) + " good blocks, SaveMinPass is " +
                      std::to_string(settings.saveMinimumBlocks);
    return;
  }

  // A save never replaces another picture: only the earlier save of this same picture, which
  // a save after BSR answers replaces anyway, may be written over; any other file of the same
  // name keeps it and this picture gets a numbered name.
  const bool replacesEarlier = state.bsrBlocksStored && settings.deleteOnBsrOverwrite;
  const std::string path =
      unusedStoredPath(storeFolder(), storedImageFileName(platform.localTime(), state.decodedCallsign),
                       replacesEarlier ? lastSavedPath : std::string());
  std::string error;
  // The new file is written before the earlier one of the same picture is removed, so a
  // failed save never costs the picture saved before the BSR answer.
  if (!saveJpeg(rxPicture, path, error)) {
    lastSaveOutcome = "not saved: " + error;
    reportFileProblem(error);
    return;
  }
  lastSaveOutcome = "saved " + path;
  // The record and the copy follow the picture; either failing leaves the picture saved.
  if (!writePictureRecord(recordPathOf(path), receivedPictureRecord(good), error))
    reportFileProblem(error);
  if (!copyToLatestPicture(storeFolder(), path, error)) reportFileProblem(error);
  const std::string sender = state.decodedCallsign.empty() ? std::string("an unnamed station")
                                                           : displayText(state.decodedCallsign);
  addMessageLogLine("Picture from " + sender + " stored as " + path);
  const std::string earlier = lastSavedPath;
  lastSavedPath = path;
  if (state.bsrBlocksStored) {
    state.bsrBlocksStored = false;
    if (settings.deleteOnBsrOverwrite && !earlier.empty() && earlier != path &&
        fileExists(earlier) && !deleteStoredPicture(earlier, error)) {
      reportFileProblem(error);
      return;
    }
  }
  if (settings.autoDelete) deleteOldImages();
  if (gallery.visible) gallery.show(storeFolder());  // the open gallery lists the new picture
}

PictureRecord MainWindow::receivedPictureRecord(int blocksHeld) const {
  PictureRecord record;
  record.callsign = displayText(state.decodedCallsign);
  record.utc = isoUtc(platform.utcTime());
  record.blocks = blocksHeld;
  record.snrDb = receivedPictureSnrDb();
  record.mode = pictureBlockHeader.fourLevel ? "4L-FSK" : "MSK";
  record.code = codeCombo.items[pictureBlockHeader.coded ? 1 : 0];
  record.scale = scaleTable[pictureBlockHeader.scaleIndex & (kScaleCount - 1)];
  record.frequencyHz = rigFrequencyHz();
  record.receiver = receiverName(settings.receiverKind);
  return record;
}

void MainWindow::galleryClicked() { gallery.show(storeFolder()); }

std::string MainWindow::senderCaption() const { return "From : " + displayText(state.remoteCallsign); }

void MainWindow::deleteOldImages() {
  if (storeFolder().empty()) return;
  std::string error;
  if (!deleteOldImageFiles(storeFolder(), platform.localTime(), settings.deleteAfterDays, error))
    reportFileProblem(error);
}

void MainWindow::reportFileProblem(const std::string& message) {
  lastFileProblem = message;
  report(message, false);
}

void MainWindow::showStoredImage() {
  pictureTabs.index = kLogTab;
  state.browseIndex = std::max(state.browseIndex, 0);
  const std::vector<std::string> names =
      storeFolder().empty() ? std::vector<std::string>() : listStoredImages(storeFolder());
  const int count = static_cast<int>(names.size());

  if (count == 0) {
    // Nothing is stored (any more): forget the image that was on display.
    statusLine.caption = "No Image";
    logOutButton.enabled = false;
    deleteImageButton.enabled = false;
    browseShown = false;
    storedImageName.clear();
    storedImageFile.clear();
    storedImageCaption.clear();
    browsePicture.fill(colours::black);
    pictureBox.show(browsePicture);
    state.browseIndex = -1;
    return;
  }
  if (state.browseIndex >= count) {
    state.browseIndex = count - 1;
    // Stepping past the last image keeps the one on display; without one, show the last.
    if (browseShown) return;
  }

  const std::string& file = names[static_cast<size_t>(state.browseIndex)];
  PictureResult loaded = readJpegFile(storeFolder() + "/" + file);
  if (!loaded) {
    platform.messageBox(loaded.error, false);
    return;
  }
  browsePicture = std::move(*loaded.picture);
  storedImageName = file.substr(0, file.size() - 4);
  storedImageFile = file;
  storedImageCaption = captionFromStoredName(storedImageName);
  pictureBox.show(browsePicture);
  statusLine.caption = storedImageCaption;
  browseShown = true;
  logOutButton.enabled = true;
  deleteImageButton.enabled = true;
}

void MainWindow::previousImageClicked() {
  if (browseShown) --state.browseIndex;
  showStoredImage();
}

void MainWindow::nextImageClicked() {
  if (browseShown) ++state.browseIndex;
  showStoredImage();
}

void MainWindow::deleteImageClicked() {
  if (storedImageFile.empty() || storeFolder().empty()) return;
  // Exactly the file on display, whatever the letter case of its extension.
  const std::string& file = storedImageFile;
  const std::string path = storeFolder() + "/" + file;
  if (!fileExists(path)) {
    platform.messageBox("File not found.", true);
    return;
  }
  if (!platform.askYesNo("Delete " + file + " , OK?", true)) return;
  std::string error;
  if (!deleteStoredPicture(path, error)) {
    reportFileProblem(error);
    return;
  }
  previousImageClicked();
}

void MainWindow::toClipboardClicked() {
  switch (pictureTabs.index) {
    case kTxTab: platform.setClipboardPicture(txPicture); break;
    case kRxTab: platform.setClipboardPicture(rxPicture); break;
    case kLogTab: platform.setClipboardPicture(browsePicture); break;
    default: break;
  }
}

void MainWindow::fromClipboardClicked() {
  if (state.txInProgress) return;
  clipboardEstimate();
  state.imageFromClipboard = true;
}

void MainWindow::pictureTabChanged() {
  switch (pictureTabs.index) {
    case kTxTab:
      pictureBox.show(state.txInProgress ? txPreviewPicture : txPicture);
      statusLine.caption = state.txTimeText;
      browseShown = false;
      logOutButton.enabled = false;
      deleteImageButton.enabled = false;
      break;
    case kRxTab:
      pictureBox.show(rxPicture);
      statusLine.caption = senderCaption();
      browseShown = false;
      logOutButton.enabled = true;
      deleteImageButton.enabled = false;
      break;
    case kLogTab:
      if (storedImageCaption.empty()) {
        showStoredImage();
        break;
      }
      pictureBox.show(browsePicture);
      statusLine.caption = storedImageCaption;
      browseShown = true;
      logOutButton.enabled = true;
      deleteImageButton.enabled = true;
      break;
    default:
      break;
  }
  refreshPictureHint();
}
