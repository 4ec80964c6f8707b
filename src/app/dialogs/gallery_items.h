#pragma once
// What the gallery lists: the stored pictures of a folder, newest first, each with what its
// record says (or, without one, what its name says). Plain file reading, run away from the
// main thread by the gallery's loader.
#include <string>
#include <vector>

struct GalleryItem {
  std::string fileName;      // as it is in the folder
  std::string callsign;      // the sender, cleaned for display; empty when unknown
  std::string timeUtc;       // "2024-03-15 09:42Z"; empty when unknown
  std::string band;          // "40m" from the rig's frequency; empty when unknown
  std::string snr;           // "12.3 dB"; empty when unknown
  std::string completeness;  // "287/300 blocks"; empty when unknown
  bool hasRecord = false;
  std::string sortKey;       // "yyyy-mm-ddThh:mm:ss" in UTC, for the order
};

// The pictures of folder (listStoredImages: never latest.jpg), newest first: by the time in
// the record, else the local time in the name, else the file's modification time; pictures
// of the same time by name, the later name first. A missing folder gives an empty list.
std::vector<GalleryItem> listGalleryItems(const std::string& folder);

// The item's lines under its thumbnail: callsign (or the file name), time, band and SNR,
// blocks held; empty lines left out.
std::string galleryItemText(const GalleryItem& item);
