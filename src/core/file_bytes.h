#pragma once
// Whole-file reads with operator-friendly failure messages, and whole-file writes that go to a
// temporary file in the same folder first and are renamed into place, so a crash or a full
// disk never leaves a half-written file under the final name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the regular file at path into bytes. Fails (with a message naming the path) when the
// file is missing, not a regular file, unreadable, empty or larger than maxBytes.
bool readFileBytes(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);

// Writes size bytes to a temporary file beside path, then renames it over path. On failure the
// temporary file is removed, an existing file at path is left untouched and error (if given)
// receives a message naming the path.
bool writeFileReplacing(const std::string& path, const uint8_t* data, size_t size,
                        std::string* error);
