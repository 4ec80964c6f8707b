#pragma once
// Whole-file reads with operator-friendly failure messages, and whole-file writes that go to a
// temporary file in the same folder first and are renamed into place, so a crash or a full
// disk never leaves a half-written file under the final name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writes all size bytes to the descriptor, going on after interrupted and partial writes; false
// (errno set) when the system refuses.
bool writeAllBytes(int fd, const void* data, size_t size);

struct stat;
// Reads the open file's status into info; false, with a message naming the path, when that
// fails or the file is not a regular file (a folder, a device, a pipe).
bool statRegularFile(int fd, const std::string& path, struct stat& info, std::string& error);

// Reads the regular file at path into bytes. Fails (with a message naming the path) when the
// file is missing, not a regular file, unreadable, empty or larger than maxBytes.
bool readFileBytes(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);

// Writes size bytes to a temporary file beside path, then renames it over path. On failure the
// temporary file is removed, an existing file at path is left untouched and error (if given)
// receives a message naming the path.
bool writeFileReplacing(const std::string& path, const uint8_t* data, size_t size,
                        std::string* error);
