#pragma once
// Appending records to a log file kept by the program (the contact log, the message log)
// without ever losing what the file already holds: the file must be a regular file (a
// symbolic link is followed to its target; folders, devices and pipes are refused), a record is
// written whole and flushed to the disk, and a write that fails part way is cut back off, so
// the file ends where it ended before.
#include <functional>
#include <string>

// Looks at the file's first bytes (at most 64 KiB) before anything is written; returns why the
// file must not be appended to, or an empty text when it may.
using AppendHeadCheck = std::function<std::string(const std::string& head)>;

// Appends `record` to the file at path, creating it (and nothing above it) when missing.
// `headerWhenEmpty` goes first when the file is new or empty. False, with a one-line message
// naming the path in error, when the file was refused or could not be written.
bool appendToFile(const std::string& path, const std::string& headerWhenEmpty,
                  const std::string& record, const AppendHeadCheck& check, std::string& error);

// Creates the folder and every missing folder above it, as a log's first record needs; true
// when it is (now) there, else false with a one-line message naming the folder in error.
bool createFolderPath(const std::string& folder, std::string& error);
