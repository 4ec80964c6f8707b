#pragma once
// The two jobs of pelimo-cli, run on a complete station (the main window model) whose sound
// devices are WAV files. Both return the process exit status: 0 on success.
#include <iosfwd>

#include "cli/cli_options.h"

// Writes the whole transmission exactly as the station puts it on the air (three primed
// buffers, head, data, end frames, silent tail) as 48 kHz mono 16-bit WAV.
int runSend(const SendOptions& options, std::ostream& out, std::ostream& err);
// Runs the receive chain over a recording and prints one line per frame read.
int runReceive(const ReceiveOptions& options, std::ostream& out, std::ostream& err);
