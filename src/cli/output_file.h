#pragma once
// Where a command's output file really goes, checked before any work is done. A symbolic link
// is followed to its target, so the link stays and the target receives the new content; a
// folder, device node, pipe or socket is refused rather than replaced by a regular file; and
// the folder must accept a new file (the file is written beside its final name and renamed).
#include <string>

struct OutputTarget {
  std::string path;   // the regular file (existing or new) to replace
  std::string error;  // why the output cannot be written there; empty when it can
};

OutputTarget checkOutputFile(const std::string& path);
