#pragma once
// For the window test binaries under LeakSanitizer: Qt, fontconfig and GLib keep caches for the
// life of the process, and the sound libraries their plugins' start-up allocations (see
// support/sound_library_leaks.h). Every file of a test binary that needs it includes it; the
// definitions are inline, so the binary keeps one of each.

extern "C" inline __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libQt6\n"
         "leak:libfontconfig\n"
         "leak:libfreetype\n"
         "leak:libglib\n"
         "leak:libdbus\n"
         "leak:libasound.so\n"
         "leak:libpulse\n"
         "leak:libjack\n";
}

extern "C" inline __attribute__((used)) const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
