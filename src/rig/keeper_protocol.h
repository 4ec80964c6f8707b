#pragma once
// The messages between the station and its rig keeper, one line each over a socket pair.
// Strings travel as hexadecimal, so a port name can hold any byte without breaking a line.
//
// The station's orders:
//   C <generation> <model> <speed> <pttType> <port> <pttDevice>   the rig to work with
//   K <0|1>    keyed or not; while keyed the station repeats it (a lease the keeper watches)
//   P <seq>    read the rig now and answer with a report carrying seq
// The keeper's report, after anything it did:
//   S <seq> <generation> <connected> <frequency|-> <ptt 0|1|-> <releaseOwed> <lostWhileKeyed> <problem>
#include <cstdint>
#include <optional>
#include <string>

#include "rig/rig_config.h"

struct KeeperReport {
  uint64_t sequence = 0;    // the last P order carried out
  uint64_t generation = 0;  // the C order the report belongs to
  bool connected = false;
  std::optional<double> frequencyHz;
  std::optional<bool> transmitting;
  // The rig was keyed when it stopped answering: the release is sent and confirmed as soon as
  // it answers again.
  bool releaseOwed = false;
  bool lostWhileKeyed = false;  // this report is the first since the rig was lost while keyed
  std::string problem;
};

struct KeeperOrder {
  char kind = 0;  // 'C', 'K' or 'P'
  uint64_t number = 0;  // the generation of C, 0/1 of K, the sequence of P
  RigConfig config;
};

std::string configOrder(uint64_t generation, const RigConfig& config);
std::string keyOrder(bool keyed);
std::string pollOrder(uint64_t sequence);
std::string reportLine(const KeeperReport& report);

// Nothing for a line that is not a well-formed message.
std::optional<KeeperOrder> parseOrder(const std::string& line);
std::optional<KeeperReport> parseReport(const std::string& line);

// Collects bytes from a socket and hands out whole lines; a line longer than a message can be
// is dropped, so a confused peer cannot make it grow.
class LineReader {
 public:
  // Reads what `fd` has now; false at end of file or on an error other than "nothing yet".
  bool readFrom(int fd);
  std::optional<std::string> next();

 private:
  std::string buffer_;
};

// Writes one whole line, retrying short writes; false when the peer is gone.
bool writeLine(int fd, const std::string& line);
