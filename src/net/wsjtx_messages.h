#pragma once
// The datagrams of the UDP protocol that WSJT-X publishes for logging programs and dashboards,
// as far as a station that logs contacts needs it: every message starts with the magic number
// 0xADBCCBDA, the schema number and the message type, then the sender's id; all numbers are
// big-endian and every text is a 32-bit length followed by its UTF-8 bytes.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kWsjtxMagic = 0xADBCCBDA;
inline constexpr uint32_t kWsjtxSchema = 2;     // the schema the messages are written in
inline constexpr uint32_t kWsjtxMaxSchema = 3;  // the highest one a heartbeat says we know
inline constexpr uint32_t kWsjtxHeartbeat = 0;
inline constexpr uint32_t kWsjtxLoggedAdif = 12;
inline constexpr const char* kWsjtxClientId = "Pelimo";

// Type 0: the station is running (id, highest schema, version, revision).
std::vector<uint8_t> wsjtxHeartbeat(const std::string& id, const std::string& version,
                                    const std::string& revision);
// Type 12: a contact was logged; `adif` is a whole ADIF text, header and one record.
std::vector<uint8_t> wsjtxLoggedAdif(const std::string& id, const std::string& adif);
