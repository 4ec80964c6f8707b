#pragma once
// The ways the station keys its transmitter: the serial port's DTR and RTS lines, a rig under
// rig control (a CAT command or the PTT lines it drives), or nothing at all when the
// transmitter keys itself on the audio (VOX). A transmission keys at its start and releases at
// its end; releasing what is not keyed does nothing.
class PushToTalk {
 public:
  virtual ~PushToTalk() = default;
  // Keys the transmitter; false when it cannot be keyed (the transmission then runs unkeyed).
  virtual bool key() = 0;
  virtual void release() = 0;
  virtual bool isKeyed() const = 0;
};

// VOX: the transmitter keys itself when it hears the audio.
class NoPushToTalk final : public PushToTalk {
 public:
  bool key() override { return false; }
  void release() override {}
  bool isKeyed() const override { return false; }
};
