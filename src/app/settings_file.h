#pragma once
// Reading and writing the settings file: plain INI text with the sections Form, Wave, IO, Set,
// Recent and Rig, one "Key=value" line per setting (see settings_file.cpp for the exact format
// and the quoting of unusual texts).
#include <string>

#include "app/settings.h"

// The settings read from a file, and why the file could not be read.
struct SettingsRead {
  Settings settings;
  // Empty when the file was read or does not exist yet (the defaults then hold and the file
  // may be written). Otherwise one line saying why the file that is there cannot be read (a
  // folder, a pipe or device, no permission, a read error): the defaults hold, and the file
  // must not be written over, or what it holds would be lost.
  std::string problem;
};

// Reads the settings file. A missing section or key, or a value that does not parse, yields
// that setting's default; a number outside its setting's range (settings_ranges.h) yields the
// nearest end of the range. A file over one mebibyte, a binary file, a link to a missing file,
// a folder, a pipe or a device is a problem; a pipe or device is never opened for reading.
SettingsRead readSettingsFile(const std::string& path);

// The settings of readSettingsFile, the defaults when the file could not be read.
Settings loadSettings(const std::string& path);

// Writes all settings, creating the folder if needed. The text goes to a temporary file in
// the same folder which is then renamed over the old file, so an interrupted save leaves the
// previous file intact. Returns false and fills `error` (when given) if the file could not be
// written; the previous file is then unchanged and no temporary file is left behind.
bool saveSettings(const std::string& path, const Settings& s, std::string* error = nullptr);

// The complete file text that saveSettings writes for these settings.
std::string formatSettings(const Settings& s);

// Reads settings from file text, exactly as loadSettings does after reading the file.
Settings parseSettings(const std::string& text);

// How one text setting is written after the equals sign, and back.
std::string encodeIniText(const std::string& text);
std::string decodeIniText(const std::string& value);
