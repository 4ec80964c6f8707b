#pragma once
// A way of keying the transmitter beside the serial port's own lines (PttPort): a rig under rig
// control, by a CAT command or a PTT line it drives. A transmission keys at its start and
// releases at its end; releasing what is not keyed does nothing.
class PushToTalk {
 public:
  virtual ~PushToTalk() = default;
  // Keys the transmitter; false when it cannot be keyed (the transmission then runs unkeyed).
  virtual bool key() = 0;
  virtual void release() = 0;
  virtual bool isKeyed() const = 0;
};

