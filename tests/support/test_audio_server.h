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
  // The default sink's own section of the long listing must name a null sink: PulseAudio's
  // module driver or PipeWire's null-sink factory.
  const std::string sinks = runForOutput("pactl list sinks");
  const size_t from = sink.empty() ? std::string::npos : sinks.find("\tName: " + sink + "\n");
  const std::string section =
      from == std::string::npos ? std::string() : sinks.substr(from, sinks.find("\nSink #", from) - from);
  if (section.find("Driver: module-null-sink") == std::string::npos &&
      section.find("factory.name = \"support.null-audio-sink\"") == std::string::npos)
    return "the sound server's default output \"" + sink + "\" is not a null sink";
  const std::string source = runForOutput("pactl get-default-source");
  if (source != sink + ".monitor")
    return "the sound server's default input \"" + source + "\" is not the monitor of \"" + sink + "\"";
  return {};
}
