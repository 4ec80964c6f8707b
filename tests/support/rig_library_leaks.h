#pragma once
// For the test binaries that connect rigs through Hamlib, under LeakSanitizer: Hamlib's
// rig_open keeps two small allocations of a network rig that rig_close and rig_cleanup do not
// free. Every file of a test binary that needs it includes it; the definitions are inline, so
// the binary keeps one of each.

extern "C" inline __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:rig_open\n"
         "leak:libhamlib.so\n";
}
