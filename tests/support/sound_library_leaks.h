#pragma once
// For the test binaries that open real sound devices, under LeakSanitizer: ALSA loads its
// device plugins (PulseAudio, JACK, ...) whose start-up code keeps a few allocations for good,
// and unloads them again, so their stacks lose their names. Unwinding slowly keeps the frames of
// the loading libraries, by which those allocations are told apart from the program's own.
// Every file of a test binary that needs it includes it; the definitions are inline, so the
// binary keeps one of each.

extern "C" inline __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libasound.so\n"
         "leak:libpulse\n"
         "leak:libjack\n";
}

extern "C" inline __attribute__((used)) const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
