#include "app/settings_file.h"

#include "app/settings_ranges.h"
#include "core/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <variant>

// File format
// -----------
// Plain INI text: "[Section]" lines, "Key=value" lines, blank lines, and comment lines whose
// first non-blank character is ';' or '#'. Integers are written in decimal, booleans as 1 or
// 0, texts as they are. The writer emits the five sections in the fixed order with one line
// per key and "\n" line endings.
//
// The reader is lenient, so a hand-edited or damaged file still loads:
//  - a UTF-8 byte order mark at the start is skipped; "\n", "\r\n" and a lone "\r" all end a
//    line;
//  - blanks (spaces and tabs) around section names, keys and values are ignored;
//  - section and key names match without regard to ASCII letter case;
//  - a '[' line without ']' names the section up to the end of the line;
//  - lines without '=' and lines with an empty key are ignored;
//  - there are no comments after a value: "Callsign=DL1ABC ; me" reads "DL1ABC ; me";
//  - when a key appears more than once in its section (also in a repeated section), the LAST
//    occurrence wins, so a line added at the end of the section overrides an earlier one;
//  - an integer is an optional sign followed by decimal digits and nothing else ("-3", "+4",
//    " 7 " with blanks around it); "12abc", "0x10", "", and values outside the int range are
//    not integers and give the default;
//  - a boolean is an integer, true when non-zero ("2" and "-1" are true);
//  - a number outside its setting's range (settings_ranges.h) reads as the nearest end;
//  - a file larger than kMaxFileBytes, or holding control characters other than tab and
//    line ends, is not read at all (it cannot be one of ours, and is never written over).
//
// Quoting of texts
// ----------------
// An ordinary text ("DL1ABC", "15dB", "/home/x/TxImage.bmp", "a=b", "[x]", "C:\x", "Grüße",
// the empty text) is written exactly as it is. A text is written in double quotes only when
// it could not be read back unchanged, or another INI tool would misread it:
//  - it starts or ends with a space or a tab (the reader strips blanks around values),
//  - it starts with '"' (it would be taken for a quoted text),
//  - it contains a control character (below 0x20, or 0x7F), such as a line break,
//  - it contains ';' or '#' (many INI tools treat those as the start of a comment).
// Inside the quotes a backslash escapes: \\ backslash, \" quote, \n, \r, \t, and \xHH (two
// hex digits) for any other control character. All other bytes, including non-ASCII UTF-8,
// appear as they are. On reading, a value that starts and ends with '"' and is a well-formed
// quoted text is decoded; any other value (also a malformed quoted one) is taken as it is.

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxFileBytes = 1 << 20;

using Field = std::variant<int Settings::*, bool Settings::*, std::string Settings::*>;

struct KeyEntry {
  const char* section;
  const char* key;
  Field field;
};

// Every setting in file order.
const std::array<KeyEntry, 61> kKeys = {{
    {"Form", "MainTop", &Settings::mainTop},
    {"Form", "MainLeft", &Settings::mainLeft},
    {"Wave", "Input", &Settings::inputDevice},
    {"Wave", "Output", &Settings::outputDevice},
    {"Wave", "InputName", &Settings::inputDeviceName},
    {"Wave", "OutputName", &Settings::outputDeviceName},
    {"Wave", "Receiver", &Settings::receiverKind},
    {"IO", "PortNum", &Settings::portNumber},
    {"IO", "PortStr", &Settings::portPath},
    {"Set", "ImageQ", &Settings::scaleIndex},
    {"Set", "Encode", &Settings::codeIndex},
    {"Set", "Mod", &Settings::modeIndex},
    {"Set", "InGainPos", &Settings::inGainPos},
    {"Set", "OutGainPos", &Settings::outGainPos},
    {"Set", "AutoSave", &Settings::autoSave},
    {"Set", "ImageFile", &Settings::imageFile},
    {"Set", "Callsign", &Settings::callsign},
    {"Set", "SubDisp", &Settings::showWaterfall},
    {"Set", "FileLoadNo", &Settings::browseIndex},
    {"Set", "TimeOut", &Settings::timeoutSeconds},
    {"Set", "NoErrDecode", &Settings::errorFreeOnly},
    {"Set", "ScanDir", &Settings::scanDirection},
    {"Set", "ImgEditName", &Settings::imageEditorName},
    {"Set", "ColorType", &Settings::waterfallColours},
    {"Set", "WaveLoop", &Settings::waveLoop},
    {"Set", "NumEtxData", &Settings::endFrameRepeat},
    {"Set", "OverWrite", &Settings::overwriteBsrBlocks},
    {"Set", "SaveMin", &Settings::saveMinimum},
    {"Set", "SaveMinPass", &Settings::saveMinimumBlocks},
    {"Set", "DelImgBSR", &Settings::deleteOnBsrOverwrite},
    {"Set", "AutoDelete", &Settings::autoDelete},
    {"Set", "DeleteDay", &Settings::deleteAfterDays},
    {"Set", "NumCallSend", &Settings::callsignRepeat},
    {"Set", "LogMode", &Settings::logMode},
    {"Set", "LogSN", &Settings::logReport},
    {"Set", "LogBand", &Settings::logBand},
    {"Set", "ShowClock", &Settings::showClock},
    {"Recent", "Picture1", &Settings::recentPicture1},
    {"Recent", "Picture2", &Settings::recentPicture2},
    {"Recent", "Picture3", &Settings::recentPicture3},
    {"Recent", "Picture4", &Settings::recentPicture4},
    {"Recent", "Picture5", &Settings::recentPicture5},
    {"Rig", "PttMethod", &Settings::pttMethod},
    {"Rig", "RigModel", &Settings::rigModel},
    {"Rig", "RigPort", &Settings::rigPort},
    {"Rig", "RigSpeed", &Settings::rigSpeed},
    {"Rig", "PttType", &Settings::pttType},
    {"Rig", "PttDevice", &Settings::pttDevice},
    {"Log", "AutoLog", &Settings::autoLog},
    {"Log", "UdpServer", &Settings::udpServer},
    {"Log", "PskReporter", &Settings::pskReporter},
    {"Log", "Locator", &Settings::locator},
    {"Log", "PskReporterServer", &Settings::pskReporterServer},
    {"Auto", "AutoBsr", &Settings::autoBsr},
    {"Auto", "AutoBsrRounds", &Settings::autoBsrRounds},
    {"Auto", "AutoBsrTimeout", &Settings::autoBsrTimeout},
    {"Auto", "ChannelHold", &Settings::channelHold},
    {"Auto", "CwId", &Settings::cwId},
    {"Auto", "CwWpm", &Settings::cwWpm},
    {"Auto", "CwToneHz", &Settings::cwToneHz},
    {"Auto", "TxTimeLimit", &Settings::txTimeLimit},
}};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes the inside of a quoted text; nothing if it is not well formed.
std::optional<std::string> unquote(std::string_view inner) {
  std::string out;
  out.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    char c = inner[i];
    if (c == '"') return std::nullopt;  // a bare quote inside: not our quoting
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++i >= inner.size()) return std::nullopt;
    switch (inner[i]) {
      case '\\': out.push_back('\\'); break;
      case '"': out.push_back('"'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'x': {
        if (i + 2 >= inner.size()) return std::nullopt;
        int hi = hexDigit(inner[i + 1]);
        int lo = hexDigit(inner[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

std::optional<int> parseInteger(std::string_view value) {
  value = trimBlanks(value);
  if (!value.empty() && value.front() == '+') {
    value.remove_prefix(1);
    if (value.empty() || value.front() == '-') return std::nullopt;
  }
  if (value.empty()) return std::nullopt;
  int result = 0;
  const char* end = value.data() + value.size();
  auto [ptr, ec] = std::from_chars(value.data(), end, result, 10);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return result;
}

// Control characters other than tab and line ends never stand unquoted in a settings file.
bool isBinaryByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7f;
}

// Reads at most kMaxFileBytes of the file into text. A file that does not exist reads as
// empty text; anything else that stops the reading is the one-line problem returned.
std::string readCapped(const std::string& path, std::string& text) {
  text.clear();
  if (path.empty()) return {};
  const auto problem = [&](const std::string& why) {
    return "The settings file cannot be read (" + why + "): " + path;
  };
  // Non-blocking, so that a pipe cannot hang the start; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int code = errno;
    // A link to a missing file is not a missing file: writing through it would create the
    // link's target (and folders for it) somewhere the operator never chose.
    struct stat link {};
    if (code == ENOENT && ::lstat(path.c_str(), &link) == 0) return problem("it is a link to a missing file");
    return code == ENOENT ? std::string() : problem(std::strerror(code));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return problem(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return problem("it is a folder");
  if (!S_ISREG(info.st_mode)) return problem("it is not a regular file");

  text.resize(kMaxFileBytes + 1);
  size_t used = 0;
  while (used < text.size()) {
    const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      text.clear();
      return problem(std::strerror(errno));
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  text.resize(used);
  // A file this large or with bytes no text has is not a settings file: what it holds is
  // kept, not replaced by the defaults at the close.
  if (text.size() > kMaxFileBytes) {
    text.clear();
    return problem("it is larger than 1 MiB");
  }
  if (std::any_of(text.begin(), text.end(), isBinaryByte)) {
    text.clear();
    return problem("it is not a text file");
  }
  return {};
}

// A symbolic link at the settings path is followed, so the file it points to is replaced
// rather than the link itself.
fs::path followLinks(fs::path p) {
  for (int depth = 0; depth < 16; ++depth) {
    std::error_code ec;
    if (!fs::is_symlink(p, ec)) break;
    fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return p;
}

// Creates the folder if needed, then replaces the file through a temporary file and a rename.
bool replaceFile(const fs::path& target, const std::string& content, std::string& error) {
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    error = "Can not create the folder " + folder.string() + ": " + ec.message();
    return false;
  }
  return writeFileReplacing(target.string(), reinterpret_cast<const uint8_t*>(content.data()),
                            content.size(), &error);
}

}  // namespace

std::string encodeIniText(const std::string& text) {
  bool needsQuotes = !text.empty() &&
                     (isBlank(text.front()) || isBlank(text.back()) || text.front() == '"');
  for (unsigned char c : text) {
    if (isControl(c) || c == ';' || c == '#') needsQuotes = true;
  }
  if (!needsQuotes) return text;

  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (isControl(c)) {
          out += "\\x";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string decodeIniText(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    if (auto decoded = unquote(std::string_view(value).substr(1, value.size() - 2))) {
      return *decoded;
    }
  }
  return value;
}

std::string formatSettings(const Settings& s) {
  std::string out;
  const char* section = nullptr;
  for (const KeyEntry& entry : kKeys) {
    if (section == nullptr || std::strcmp(section, entry.section) != 0) {
      if (section != nullptr) out += '\n';
      section = entry.section;
      out += '[';
      out += section;
      out += "]\n";
    }
    out += entry.key;
    out += '=';
    if (auto p = std::get_if<int Settings::*>(&entry.field)) {
      out += std::to_string(s.**p);
    } else if (auto p = std::get_if<bool Settings::*>(&entry.field)) {
      out += s.**p ? '1' : '0';
    } else {
      out += encodeIniText(s.*std::get<std::string Settings::*>(entry.field));
    }
    out += '\n';
  }
  return out;
}

Settings parseSettings(const std::string& fileText) {
  std::string_view text(fileText);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  // The last value seen for each key of the table, as written after '='.
  std::array<std::optional<std::string_view>, kKeys.size()> found;
  std::string_view section;
  bool inSection = false;  // false before the first section header
  while (!text.empty()) {
    std::size_t lineEnd = text.find_first_of("\r\n");
    std::string_view line = trimBlanks(text.substr(0, lineEnd));
    text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);

    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      std::size_t close = line.find(']');
      section = trimBlanks(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      inSection = true;
      continue;
    }
    std::size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    std::string_view key = trimBlanks(line.substr(0, equals));
    if (key.empty()) continue;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
      if (equalsIgnoringCase(key, kKeys[i].key) && equalsIgnoringCase(section, kKeys[i].section)) {
        found[i] = trimBlanks(line.substr(equals + 1));
        break;
      }
    }
  }

  Settings s;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (!found[i]) continue;
    std::string_view value = *found[i];
    if (auto p = std::get_if<int Settings::*>(&kKeys[i].field)) {
      if (auto n = parseInteger(value)) s.**p = *n;
    } else if (auto p = std::get_if<bool Settings::*>(&kKeys[i].field)) {
      if (auto n = parseInteger(value)) s.**p = *n != 0;
    } else {
      s.*std::get<std::string Settings::*>(kKeys[i].field) = decodeIniText(std::string(value));
    }
  }
  clampToRanges(s);
  return s;
}

SettingsRead readSettingsFile(const std::string& path) {
  SettingsRead read;
  std::string text;
  read.problem = readCapped(path, text);
  if (read.problem.empty()) read.settings = parseSettings(text);
  return read;
}

Settings loadSettings(const std::string& path) { return readSettingsFile(path).settings; }

bool saveSettings(const std::string& path, const Settings& s, std::string* error) {
  std::string message;
  bool ok = false;
  if (path.empty()) {
    message = "No settings file name";
  } else {
    ok = replaceFile(followLinks(fs::path(path)), formatSettings(s), message);
  }
  if (!ok && error != nullptr) *error = message;
  return ok;
}
