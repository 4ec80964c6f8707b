#include "app/dialogs/gallery_items.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/amateur_band.h"
#include "core/display_text.h"
#include "core/utc_time.h"
#include "library/image_store_files.h"
#include "library/picture_record.h"
#include "library/stored_image_names.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxShownCallsign = 24;

std::string sortKeyOf(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string shownTime(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute);
  return text;
}

// The record's "yyyy-mm-ddThh:mm:ssZ", checked field by field; nothing for anything else.
std::optional<LocalTime> recordTime(const std::string& text) {
  LocalTime t;
  char zone = 0;
  if (text.size() != 20 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month,
                                       &t.day, &t.hour, &t.minute, &t.second, &zone) != 7 ||
      zone != 'Z')
    return std::nullopt;
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
      t.hour < 0 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60)
    return std::nullopt;
  return t;
}

std::optional<LocalTime> modificationTime(const fs::path& path) {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  return utcTimeOf(std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count());
}

std::string shownCallsign(const std::string& text) {
  std::string shown = displayText(text.substr(0, kMaxShownCallsign * 4));
  if (shown.size() > kMaxShownCallsign) shown = displayText(shown.substr(0, kMaxShownCallsign));
  return shown;
}

GalleryItem itemOf(const fs::path& folder, const std::string& name) {
  GalleryItem item;
  item.fileName = name;
  std::optional<LocalTime> utc;
  if (const std::optional<PictureRecord> record = readPictureRecord(recordPathOf((folder / name).string()))) {
    item.hasRecord = true;
    item.callsign = shownCallsign(record->callsign);
    utc = recordTime(record->utc);
    if (record->frequencyHz) item.band = amateurBand(*record->frequencyHz).value_or("");
    if (record->snrDb) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f dB", std::clamp(*record->snrDb, -99.0, 99.0));
      item.snr = text;
    }
    item.completeness = std::to_string(record->blocks) + "/300 blocks";
  }
  if (!item.hasRecord && isStationImageName(name)) {
    const std::string stem = withoutNumberSuffix(name.substr(0, name.size() - 4));
    if (stem.size() > 14) item.callsign = shownCallsign(stem.substr(14));
  }
  if (!utc && isStationImageName(name))
    if (const std::optional<LocalTime> local = storedImageTime(name)) utc = utcFromLocal(*local);
  if (!utc) utc = modificationTime(folder / name);
  if (utc) {
    item.timeUtc = shownTime(*utc);
    item.sortKey = sortKeyOf(*utc);
  }
  return item;
}

}  // namespace

std::vector<GalleryItem> listGalleryItems(const std::string& folder) {
  std::vector<GalleryItem> items;
  for (const std::string& name : listStoredImages(folder)) items.push_back(itemOf(folder, name));
  std::sort(items.begin(), items.end(), [](const GalleryItem& a, const GalleryItem& b) {
    if (a.sortKey != b.sortKey) return a.sortKey > b.sortKey;
    return a.fileName > b.fileName;
  });
  return items;
}

std::string galleryItemText(const GalleryItem& item) {
  std::string text = item.callsign.empty() ? displayText(item.fileName) : item.callsign;
  for (const std::string* line : {&item.timeUtc, &item.band, &item.snr, &item.completeness}) {
    if (line->empty()) continue;
    const bool sameLine = line == &item.snr && !item.band.empty();
    text += (sameLine ? "  " : "\n") + *line;
  }
  return text;
}
