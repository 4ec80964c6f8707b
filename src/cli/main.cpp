// pelimo-cli: the station without a window, on WAV files.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "audio/keyed_port_release.h"
#include "cli/command_line.h"
#include "cli/standard_streams.h"

int main(int argc, char** argv) {
  if (!standardStreamsReady()) {
    std::cerr << "pelimo-cli: standard output is closed; send it to a file or to /dev/null\n";
    return 1;
  }
  // A keyed push-to-talk port is released whatever ends the program.
  installPttReleaseOnSignals();
  const std::vector<std::string> args(argv + 1, argv + argc);
  int status = runCommandLine(args, std::cout, std::cerr);
  // Standard output is only known to be written once the C library's buffer has gone out.
  if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == 0) {
    std::cerr << "pelimo-cli: the output could not be written to standard output\n";
    status = 1;
  }
  return status;
}
