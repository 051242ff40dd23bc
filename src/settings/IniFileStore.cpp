#include "settings/IniFileStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace korvane {
namespace {

// ---- UTF-8 and the UTF-16 units QSettings works in ----

bool IsHexDigit(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char32_t c) {
  if (c >= '0' && c <= '9') return int(c - '0');
  if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
  return int(c - 'A' + 10);
}

void AppendUnit(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out += char16_t(code);
  } else {
    code -= 0x10000;
    out += char16_t(0xD800 + (code >> 10));
    out += char16_t(0xDC00 + (code & 0x3FF));
  }
}

// Appends UTF-8 text as UTF-16 units; a byte that is not part of a well-formed sequence
// becomes U+FFFD. Returns whether the text was well-formed.
bool AppendUtf8(std::string_view text, std::u16string& out) {
  bool wellFormed = true;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                     : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; k < length; ++k) {
      const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text either.
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
      length = 0;
    }
    if (length == 0) {
      out += u'\uFFFD';
      wellFormed = false;
      ++i;
    } else {
      AppendUnit(out, code);
      i += length;
    }
  }
  return wellFormed;
}

void AppendCode(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | (code >> 6));
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | (code >> 12));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xF0 | (code >> 18));
    out += char(0x80 | ((code >> 12) & 0x3F));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

// UTF-16 units as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf8(std::u16string_view units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendCode(out, code);
  }
  return out;
}

// At least `width` hexadecimal digits.
void AppendHex(std::string& out, unsigned value, int width, bool upper) {
  const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  for (int shift = (std::max(digits, width) - 1) * 4; shift >= 0; shift -= 4) out += alphabet[(value >> shift) & 0xF];
}

// ---- section names and keys: %XX for U+0000..U+00FF, %UXXXX above, "\" for "/" ----

std::string EscapedName(std::string_view name) {
  std::u16string units;
  AppendUtf8(name, units);
  std::string out;
  for (const char16_t ch : units) {
    if (ch == '/') {
      out += '\\';
    } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
               ch == '-' || ch == '.') {
      out += char(ch);
    } else if (ch <= 0xFF) {
      out += '%';
      AppendHex(out, ch, 2, true);
    } else {
      out += "%U";
      AppendHex(out, ch, 4, true);
    }
  }
  return out;
}

std::string UnescapedName(std::string_view text) {
  std::u16string units;
  AppendUtf8(text, units);
  std::u16string out;
  for (size_t i = 0; i < units.size();) {
    const char16_t ch = units[i];
    if (ch == '\\') {
      out += u'/';
      ++i;
      continue;
    }
    const size_t first = i + 1 < units.size() && units[i + 1] == 'U' ? i + 2 : i + 1;
    const size_t digits = first == i + 2 ? 4 : 2;
    bool escape = ch == '%' && first + digits <= units.size();
    for (size_t k = 0; escape && k < digits; ++k) escape = IsHexDigit(units[first + k]);
    if (!escape) {
      out += ch;
      ++i;
      continue;
    }
    char16_t code = 0;
    for (size_t k = 0; k < digits; ++k) code = char16_t(code * 16 + HexValue(units[first + k]));
    out += code;
    i = first + digits;
  }
  return Utf8(out);
}

// ---- values ----

constexpr std::string_view kByteArrayOpen = "@ByteArray(";
constexpr std::string_view kStringOpen = "@String(";

// QSettings' escaping of one string: backslash escapes for control characters, "\" and the
// double quote, and double quotes around the whole when it holds ";", "," or "=" or starts
// or ends with a blank. As UTF-8 text (asText) or, for byte arrays, with every unit from
// U+007F on as a \x escape.
std::string EscapedString(std::u16string_view units, bool asText) {
  std::string out;
  bool needsQuotes = false;
  bool escapeNextIfHexDigit = false;  // a \x or \0 escape would swallow a following hex digit
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t ch = units[i];
    if (ch == ';' || ch == ',' || ch == '=') needsQuotes = true;
    if (escapeNextIfHexDigit && IsHexDigit(ch)) {
      out += "\\x";
      AppendHex(out, ch, 1, false);
      continue;
    }
    escapeNextIfHexDigit = false;
    switch (ch) {
      case '\0': out += "\\0"; escapeNextIfHexDigit = true; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '"':
      case '\\':
        out += '\\';
        out += char(ch);
        break;
      default:
        if (ch <= 0x1F || (ch >= 0x7F && !asText)) {
          out += "\\x";
          AppendHex(out, ch, 1, false);
          escapeNextIfHexDigit = true;
        } else if (asText) {
          const size_t pair = ch >= 0xD800 && ch < 0xDC00 && i + 1 < units.size() ? 2 : 1;
          out += Utf8(units.substr(i, pair));
          i += pair - 1;
        } else {
          out += char(ch);
        }
    }
  }
  if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = '"' + out + '"';
  return out;
}

std::string EscapedValue(std::string_view value) {
  std::u16string units;
  if (AppendUtf8(value, units) && value.find('\0') == std::string_view::npos) {
    if (!units.empty() && units.front() == '@') units.insert(units.begin(), u'@');
    return EscapedString(units, true);
  }
  units.assign(kByteArrayOpen.begin(), kByteArrayOpen.end());
  for (const char byte : value) units += char16_t(static_cast<unsigned char>(byte));
  units += u')';
  return EscapedString(units, false);
}

// The text of a value as QSettings reads it: blanks around it dropped, double quotes removed
// (blanks inside them kept), backslash escapes undone ("\x" hex and "\0" octal ones included;
// any other character after a backslash is dropped). A "," outside quotes, which QSettings
// takes as a list separator, is kept as it stands.
std::u16string UnescapedString(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  size_t chopLimit = 0;
  bool inQuotes = false;
  bool quoted = false;
  auto skipBlanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    chopLimit = out.size();
  };
  auto readNumber = [&](char16_t value, int base) {
    while (i < text.size() && (base == 16 ? IsHexDigit(char32_t(text[i])) : text[i] >= '0' && text[i] <= '7'))
      value = char16_t(value * base + HexValue(char32_t(text[i++])));
    out += value;
  };
  skipBlanks();
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\') {
      if (++i >= text.size()) break;
      const char e = text[i++];
      static constexpr std::string_view kNamed = "abfnrtv\"?'\\", kMeaning = "\a\b\f\n\r\t\v\"?'\\";
      if (const size_t k = kNamed.find(e); k != std::string_view::npos) {
        out += char16_t(kMeaning[k]);
      } else if (e == 'x' && i < text.size() && IsHexDigit(char32_t(text[i]))) {
        readNumber(0, 16);
      } else if (e >= '0' && e <= '7') {
        readNumber(char16_t(e - '0'), 8);
      }
      chopLimit = out.size();
    } else if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) skipBlanks();
    } else {
      const size_t next = text.find_first_of("\\\"", i);
      const size_t end = next == std::string_view::npos ? text.size() : next;
      AppendUtf8(text.substr(i, end - i), out);
      i = end;
    }
  }
  if (!quoted) {
    while (out.size() > chopLimit && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  }
  return out;
}

bool StartsWith(std::u16string_view units, std::string_view prefix) {
  if (units.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (units[i] != char16_t(prefix[i])) return false;
  return true;
}

std::string UnescapedValue(std::string_view text) {
  std::u16string units = UnescapedString(text);
  if (!units.empty() && units.back() == ')') {
    if (StartsWith(units, kByteArrayOpen)) {
      std::string bytes;
      for (size_t i = kByteArrayOpen.size(); i + 1 < units.size(); ++i) bytes += char(units[i] & 0xFF);
      return bytes;
    }
    if (StartsWith(units, kStringOpen)) return Utf8(units.substr(kStringOpen.size(), units.size() - kStringOpen.size() - 1));
  }
  if (StartsWith(units, "@@")) units.erase(0, 1);
  return Utf8(units);
}

// ---- paths: "Section/Key/..." split into the file's section and the key below it ----

std::pair<std::string, std::string> SplitPath(std::string_view section, std::string_view name) {
  std::string path(section);
  if (!path.empty() && !name.empty()) path += '/';
  path += name;
  const size_t slash = path.find('/');
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

bool IsGeneral(std::string_view text) {
  static constexpr std::string_view kGeneral = "general";
  if (text.size() != kGeneral.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if ((text[i] | 0x20) != kGeneral[i]) return false;
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> IniFileStore::Value(std::string_view section, std::string_view name) const {
  const auto [first, rest] = SplitPath(section, name);
  const auto keys = sections_.find(first);
  if (keys == sections_.end()) return std::nullopt;
  const auto found = keys->second.find(rest);
  if (found == keys->second.end()) return std::nullopt;
  return found->second;
}

void IniFileStore::SetValue(std::string_view section, std::string_view name, std::string_view value) {
  auto [first, rest] = SplitPath(section, name);
  sections_[std::move(first)][std::move(rest)] = std::string(value);
}

void IniFileStore::ClearSection(std::string_view section) {
  const size_t slash = section.find('/');
  const auto keys = sections_.find(std::string(section.substr(0, slash)));
  if (keys == sections_.end()) return;
  if (slash == std::string_view::npos) {
    sections_.erase(keys);
    return;
  }
  const std::string_view rest = section.substr(slash + 1);
  for (auto it = keys->second.begin(); it != keys->second.end();) {
    const std::string_view key = it->first;
    const bool below = key.substr(0, rest.size()) == rest && (key.size() == rest.size() || key[rest.size()] == '/');
    if (below) it = keys->second.erase(it); else ++it;
  }
}

void IniFileStore::Parse(std::string_view text) {
  sections_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  while (!text.empty()) {
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::string_view name = Trimmed(line.substr(1, line.find(']') - 1));
      if (IsGeneral(name)) {
        section.clear();  // values outside any section
      } else if (name.size() > 1 && name.front() == '%' && IsGeneral(name.substr(1))) {
        section = name.substr(1);  // a section really called "General"
      } else {
        section = UnescapedName(name);
      }
      continue;
    }
    // The key ends at the first "=" and the line at the first ";" outside double quotes.
    size_t equals = std::string_view::npos;
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\') {
        ++i;
      } else if (line[i] == '"') {
        inQuotes = !inQuotes;
      } else if (line[i] == '=' && !inQuotes && equals == std::string_view::npos) {
        equals = i;
      } else if (line[i] == ';' && !inQuotes) {
        line = line.substr(0, i);
        break;
      }
    }
    if (equals == std::string_view::npos) continue;
    SetValue(section, UnescapedName(Trimmed(line.substr(0, equals))), UnescapedValue(line.substr(equals + 1)));
  }
}

std::string IniFileStore::Text() const {
  std::string out;
  for (const auto& [section, keys] : sections_) {
    if (keys.empty()) continue;
    if (!out.empty()) out += '\n';
    const std::string name = EscapedName(section);
    out += section.empty() ? "[General]" : IsGeneral(name) ? "[%" + name + "]" : "[" + name + "]";
    out += '\n';
    for (const auto& [key, value] : keys) out += EscapedName(key) + '=' + EscapedValue(value) + '\n';
  }
  return out;
}

bool IniFileStore::Load(const std::string& path) {
  sections_.clear();
  std::error_code error;
  // Only a regular file of settings size is read: a FIFO would block and a device such
  // as /dev/zero would never end.
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kSettingsFileCap) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text(size_t(size), '\0');
  in.read(text.data(), std::streamsize(text.size()));
  if (in.bad()) return false;
  text.resize(size_t(in.gcount()));
  Parse(text);
  return true;
}

bool IniFileStore::Save(const std::string& path) const {
  namespace fs = std::filesystem;
  if (path.empty()) return false;
  const fs::path target(path);
  std::error_code error;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
  fs::path temporary = target;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Text();
    out.close();
    if (!out) {
      fs::remove(temporary, error);
      return false;
    }
  }
  fs::rename(temporary, target, error);
  if (error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

std::string DefaultSettingsFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (config && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return (base / "Zum4 Group" / "Korvane.conf").string();
}

bool LoadSettingsFile(const std::string& path, IniFileStore& store) {
  return store.Load(path.empty() ? DefaultSettingsFile() : path);
}

}  // namespace korvane
