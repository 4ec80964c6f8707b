#include "net/wsjtx_messages.h"

#include "net/byte_writer.h"

namespace {

ByteWriter messageHead(uint32_t type, const std::string& id) {
  ByteWriter w;
  w.u32(kWsjtxMagic);
  w.u32(kWsjtxSchema);
  w.u32(type);
  w.lengthPrefixed32(id);
  return w;
}

}  // namespace

std::vector<uint8_t> wsjtxHeartbeat(const std::string& id, const std::string& version,
                                    const std::string& revision) {
  ByteWriter w = messageHead(kWsjtxHeartbeat, id);
  w.u32(kWsjtxMaxSchema);
  w.lengthPrefixed32(version);
  w.lengthPrefixed32(revision);
  return std::move(w.bytes);
}

std::vector<uint8_t> wsjtxLoggedAdif(const std::string& id, const std::string& adif) {
  ByteWriter w = messageHead(kWsjtxLoggedAdif, id);
  w.lengthPrefixed32(adif);
  return std::move(w.bytes);
}
