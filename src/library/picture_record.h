#pragma once
// The record kept beside every stored picture: a JSON file of the picture's name with ".json"
// in place of ".jpg", telling who sent it, when, how much of it arrived and how it was received.
// Written after the picture, through a temporary file renamed into place; read back by the
// gallery, which survives any content (a damaged, hostile or foreign file gives no record).
#include <optional>
#include <string>

#include "core/local_time.h"

struct PictureRecord {
  std::string callsign;               // the sender as shown (cleaned for display); empty: none
  std::string utc;                    // "2024-03-15T09:42:10Z"
  int blocks = 0;                     // picture blocks held, of 300
  std::optional<double> snrDb;        // the signal-to-noise ratio measured on its blocks
  std::string mode;                   // "MSK" or "4L-FSK"
  std::string code;                   // "Normal (Non)" or "Convolution"
  double scale = 0.0;                 // the quality scale of its blocks (0.07 .. 2.00)
  std::optional<double> frequencyHz;  // the rig's frequency when rig control knows it
  std::string receiver;               // "coherent", "improved" or "specified"
};

// "yyyy-mm-ddThh:mm:ssZ" (ISO 8601).
std::string isoUtc(const LocalTime& utc);

// The record's path for a picture path: its ".jpg" (any letter case) replaced by ".json";
// empty for a path that does not end in ".jpg".
std::string recordPathOf(const std::string& picturePath);

// The record as one JSON object (callsign null when empty, snrDb and frequencyHz null when
// unknown), ending in a line break.
std::string pictureRecordJson(const PictureRecord& record);
// Reads a record's text; nothing when it is not a JSON object with at least a "utc" or a
// "blocks" of the right type. Fields of a wrong type or out of range are left at their defaults.
std::optional<PictureRecord> parsePictureRecord(const std::string& text);

// Writes the record at path through a temporary file; false with a one-line message.
bool writePictureRecord(const std::string& path, const PictureRecord& record, std::string& error);
// The record at path; nothing when the file is missing, not a regular file, larger than a
// record can be, or not a record.
std::optional<PictureRecord> readPictureRecord(const std::string& path);
