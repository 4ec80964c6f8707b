#include "net/spot_schedule.h"

#include <algorithm>

bool SpotSchedule::add(const HeardStation& station, double now) {
  auto it = lastKept_.find(station.callsign);
  if (it != lastKept_.end() && now - it->second < kRepeatSeconds) return false;
  // Callsigns not heard for a while are forgotten, so the map stays small on a long run.
  std::erase_if(lastKept_, [now](const auto& kept) { return now - kept.second >= kRepeatSeconds; });
  lastKept_[station.callsign] = now;
  waiting_.push_back(station);
  return true;
}

std::vector<HeardStation> SpotSchedule::take(double now) {
  const size_t n = std::min(waiting_.size(), kRecordsPerDatagram);
  std::vector<HeardStation> out(waiting_.begin(), waiting_.begin() + static_cast<long>(n));
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<long>(n));
  lastSent_ = now;
  return out;
}
