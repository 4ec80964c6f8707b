#pragma once
// Finds the sound server of the real-audio tests (scripts/start-test-audio): a PulseAudio or
// PipeWire server whose default output is a null sink and whose default input is that sink's
// monitor, so that whatever the tests play never reaches a loudspeaker and comes straight back.
// The result is empty when such a server is reachable, else the reason to skip.
#include <array>
#include <cstdio>
#include <string>

inline std::string runForOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return out;
  std::array<char, 512> chunk;
  while (size_t n = fread(chunk.data(), 1, chunk.size(), pipe)) out.append(chunk.data(), n);
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

inline std::string testAudioServerMissing() {
  if (runForOutput("pactl info").empty())
    return "no PulseAudio/PipeWire server is reachable (start one with "
           "eval \"$(scripts/start-test-audio)\")";
  const std::string sink = runForOutput("pactl get-default-sink");
  const std::string sinks = runForOutput("pactl list short sinks");
  const size_t line = sink.empty() ? std::string::npos : sinks.find("\t" + sink + "\t");
  if (line == std::string::npos || sinks.find("module-null-sink", line) != sinks.find(sink, line) + sink.size() + 1)
    return "the sound server's default output \"" + sink + "\" is not a null sink";
  const std::string source = runForOutput("pactl get-default-source");
  if (source != sink + ".monitor")
    return "the sound server's default input \"" + source + "\" is not the monitor of \"" + sink + "\"";
  return {};
}
