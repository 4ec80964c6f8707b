#include "library/picture_record.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/file_bytes.h"

namespace {

using json = nlohmann::json;

// A record is a few hundred bytes; anything much larger is not one.
constexpr uint64_t kMaxRecordBytes = 64 * 1024;
constexpr size_t kMaxTextField = 200;

nlohmann::ordered_json optionalNumber(std::optional<double> value) {
  using ordered = nlohmann::ordered_json;
  return value && std::isfinite(*value) ? ordered(*value) : ordered(nullptr);
}

double roundedTo(double value, double step) { return std::round(value / step) * step; }

std::string textField(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return {};
  std::string text = it->get<std::string>();
  if (text.size() > kMaxTextField) text.resize(kMaxTextField);
  return text;
}

std::optional<double> numberField(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  const double value = it->get<double>();
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

std::string isoUtc(const LocalTime& utc) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}

std::string recordPathOf(const std::string& picturePath) {
  if (picturePath.size() < 4) return {};
  std::string extension = picturePath.substr(picturePath.size() - 4);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (extension != ".jpg") return {};
  return picturePath.substr(0, picturePath.size() - 4) + ".json";
}

std::string pictureRecordJson(const PictureRecord& record) {
  // The field order is the record's own, so a person reading the file finds the sender first.
  using ordered = nlohmann::ordered_json;
  ordered object = ordered::object();
  object["callsign"] = record.callsign.empty() ? ordered(nullptr) : ordered(record.callsign);
  object["utc"] = record.utc;
  object["blocks"] = record.blocks;
  object["snrDb"] = optionalNumber(record.snrDb ? std::optional<double>(roundedTo(*record.snrDb, 0.1))
                                                : std::nullopt);
  object["mode"] = record.mode;
  object["code"] = record.code;
  object["scale"] = roundedTo(record.scale, 0.01);
  object["frequencyHz"] = optionalNumber(record.frequencyHz);
  object["receiver"] = record.receiver;
  // Bytes that are not UTF-8 are written as U+FFFD rather than failing the record.
  return object.dump(-1, ' ', false, ordered::error_handler_t::replace) + "\n";
}

std::optional<PictureRecord> parsePictureRecord(const std::string& text) {
  const json object = json::parse(text, nullptr, false);
  if (!object.is_object()) return std::nullopt;
  const auto utc = object.find("utc");
  const auto blocks = object.find("blocks");
  const bool hasUtc = utc != object.end() && utc->is_string();
  const bool hasBlocks = blocks != object.end() && blocks->is_number_integer();
  if (!hasUtc && !hasBlocks) return std::nullopt;
  PictureRecord record;
  record.callsign = textField(object, "callsign");
  record.utc = textField(object, "utc");
  if (hasBlocks) {
    const int64_t held = blocks->get<int64_t>();
    record.blocks = held < 0 || held > 300 ? 0 : static_cast<int>(held);
  }
  record.snrDb = numberField(object, "snrDb");
  record.mode = textField(object, "mode");
  record.code = textField(object, "code");
  record.scale = numberField(object, "scale").value_or(0.0);
  record.frequencyHz = numberField(object, "frequencyHz");
  record.receiver = textField(object, "receiver");
  return record;
}

bool writePictureRecord(const std::string& path, const PictureRecord& record, std::string& error) {
  const std::string text = pictureRecordJson(record);
  return writeFileReplacing(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), &error);
}

std::optional<PictureRecord> readPictureRecord(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (path.empty() || !readFileBytes(path, kMaxRecordBytes, bytes, error)) return std::nullopt;
  return parsePictureRecord(std::string(bytes.begin(), bytes.end()));
}
