// Choosing the picture to send: a file chooser (Ctrl+O, the picture's context menu) and the
// pictures sent last, kept newest first in the settings' Recent section.
#include <algorithm>
#include <array>

#include "app/main_window.h"

namespace {

constexpr std::array<std::string Settings::*, kRecentPictureCount> kRecentFields = {
    &Settings::recentPicture1, &Settings::recentPicture2, &Settings::recentPicture3,
    &Settings::recentPicture4, &Settings::recentPicture5};

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::vector<std::string> MainWindow::recentPictures() const {
  std::vector<std::string> paths;
  for (auto field : kRecentFields)
    if (!(settings.*field).empty()) paths.push_back(settings.*field);
  return paths;
}

void MainWindow::rememberRecentPicture(const std::string& path) {
  if (path.empty()) return;
  std::vector<std::string> paths = recentPictures();
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
  paths.insert(paths.begin(), path);
  paths.resize(kRecentPictureCount);
  for (size_t i = 0; i < kRecentFields.size(); ++i) settings.*kRecentFields[i] = paths[i];
}

bool MainWindow::openPictureClicked() {
  if (state.txInProgress) return false;
  // The chooser starts where the last picture came from.
  const std::vector<std::string> recent = recentPictures();
  std::string folder = folderOf(recent.empty() ? state.txImagePath : recent.front());
  if (folder.empty()) folder = dataFolder;
  const std::optional<std::string> chosen = platform.choosePictureFile(folder);
  return chosen && loadTransmitImage(*chosen);
}

bool MainWindow::openRecentPicture(size_t index) {
  const std::vector<std::string> recent = recentPictures();
  if (index >= recent.size() || state.txInProgress) return false;
  return loadTransmitImage(recent[index]);
}
