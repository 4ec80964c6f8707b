#pragma once
// The program's version, set once by the build from the project's version number: the
// programs' --version, the message log's first line, the package and its AppStream release
// all show it.
extern const char* const kProgramVersion;
