#pragma once
// When heard stations are reported: the service asks for each callsign at most once in five
// minutes and for at most one datagram every five minutes, counted from the program's start
// rather than the clock's minutes (so that stations do not all send at once). Time is given in
// seconds since the station started (counted in sound buffers by the caller).
#include <map>
#include <string>
#include <vector>

#include "net/reception_report.h"

class SpotSchedule {
 public:
  static constexpr double kRepeatSeconds = 300.0;
  static constexpr double kSendSeconds = 300.0;
  // The most records one datagram carries; more wait for the next one.
  static constexpr size_t kRecordsPerDatagram = 40;

  // Keeps the station unless its callsign was kept within kRepeatSeconds. True when kept.
  bool add(const HeardStation& station, double now);
  // Stations wait, and kSendSeconds have passed since the last datagram (or the start).
  bool due(double now) const { return !waiting_.empty() && now - lastSent_ >= kSendSeconds; }
  // Up to kRecordsPerDatagram waiting stations, oldest first; the send time is now.
  std::vector<HeardStation> take(double now);
  bool empty() const { return waiting_.empty(); }

 private:
  std::vector<HeardStation> waiting_;
  std::map<std::string, double> lastKept_;
  double lastSent_ = 0.0;
};
