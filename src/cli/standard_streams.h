#pragma once
// A program started with standard input, output or error closed would hand those descriptor
// numbers to the first files and sockets the libraries open (the sound server's socket, a
// rig's port), and its output would then go into them.

// Fills a closed standard input or error with /dev/null; true when standard output is open.
// Run first thing in main, before any library opens a file.
bool standardStreamsReady();
