#pragma once
// Sound devices made of files, for running the station without a sound card. The input plays a
// sound file (see WavReader: any rate, first channel) into the input buffers, one buffer per
// tick, the last one padded with zeros; after it the input has ended and records nothing more.
// The output records every played buffer into a 48000 Hz mono 16-bit WAV file. Without an input
// file the input records silence for ever; without an output file played buffers are dropped.
//
// Each tick is one buffer period: first the oldest queued output buffer is played (1026), then
// the oldest queued input buffer is filled (1025). The input waits (no file samples are lost)
// while no input buffer is queued. The files stay open across device closing and reopening, so
// a device change neither rewinds the input nor truncates the recording.
//
// Instead of a file, the output can be kept in memory (keepRecordingInMemory), for callers that
// write the whole recording at once when it is complete. After the input file, a number of
// silent buffers can follow (setTrailingSilence), so the receive chain's filters give up the
// last symbols a recording ends with.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/wav_file.h"

class ClockedStream;

class WavBackend : public AudioBackend {
 public:
  WavBackend(std::string inputPath, std::string outputPath);
  ~WavBackend() override;
  WavBackend(const WavBackend&) = delete;
  WavBackend& operator=(const WavBackend&) = delete;

  std::vector<AudioDevice> inputDevices() override;
  std::vector<AudioDevice> outputDevices() override;
  // Device number default or 0. nullptr when the file cannot be opened; error() says why.
  std::unique_ptr<AudioStream> openInput(int deviceNumber, BufferCompletion& filled) override;
  std::unique_ptr<AudioStream> openOutput(int deviceNumber, BufferCompletion& played) override;

  void tick();
  void advance(int buffers);
  int64_t ticks() const { return ticks_; }

  // True once the whole input file (and the trailing silence) was delivered, or reading it
  // failed (see error()); never without an input file.
  bool inputFinished() const { return inputFinished_; }
  // Silent buffers delivered after the input file's last samples.
  void setTrailingSilence(int buffers) { trailingSilence_ = buffers; }
  // Keeps every played buffer in recording() (on top of the output file, if any).
  void keepRecordingInMemory() { keepRecording_ = true; }
  const std::vector<int16_t>& recording() const { return recording_; }
  int64_t buffersRecorded() const { return buffersRecorded_; }
  // The last file error, empty if none.
  const std::string& error() const { return error_; }
  // Closes the recording (also done by the destructor); empty on success.
  std::string finishOutput();

 private:
  void endOfFile();

  std::string inputPath_, outputPath_;
  WavReader reader_;
  WavWriter writer_;
  ClockedStream* input_ = nullptr;
  ClockedStream* output_ = nullptr;
  bool inputFinished_ = false;
  bool fileEnded_ = false;
  int trailingSilence_ = 0;
  bool keepRecording_ = false;
  std::vector<int16_t> recording_;
  int64_t ticks_ = 0;
  int64_t buffersRecorded_ = 0;
  std::string error_;
};
