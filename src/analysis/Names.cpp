#include "analysis/Names.h"

#include "input/ByteSource.h"
#include "input/MapPages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvane {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Characters of code 32 or less (as unsigned bytes) removed at the end, or at both ends.
std::string_view TrimControlRight(std::string_view text) {
  while (!text.empty() && uint8_t(text.back()) <= 32) text.remove_suffix(1);
  return text;
}
std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && uint8_t(text.front()) <= 32) text.remove_prefix(1);
  return TrimControlRight(text);
}

std::string_view Bytes(const uint8_t* data, size_t count) { return {reinterpret_cast<const char*>(data), count}; }

// Calls f for every line of the text, without its line end (LF or CR LF).
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // In one piece at the size the file has now; a file that grows meanwhile is read on.
  const auto size = std::filesystem::file_size(path, error);
  out->clear();
  if (!error && size > 0 && size < (uint64_t(1) << 30)) {
    out->reserve(size_t(size));
    MapPagesNow(out->data(), size_t(size));  // one request rather than a fault a page
    out->resize(size_t(size));
    in.read(out->data(), std::streamsize(size));
    out->resize(size_t(in.gcount()));
    if (in.bad()) return false;
    if (!in) return true;  // ended at or before the size taken
  }
  out->append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The built-in port table, ascending.
struct BuiltInPort {
  uint16_t port;
  std::string_view name;
};
constexpr BuiltInPort kBuiltInPorts[] = {
    {20, "FTP Data"},
    {21, "FTP Control"},
    {23, "Telnet"},
    {25, "SMTP"},
    {53, "DNS"},
    {67, "Bootp"},
    {68, "Bootp"},
    {79, "Finger"},
    {80, "HTTP"},
    {107, "Remote Telnet"},
    {109, "POP2"},
    {110, "POP3"},
    {111, "Sun RPC"},
    {115, "Simple File Transfer"},
    {119, "NNTP"},
    {123, "Network Time Protocol"},
    {127, "Sun RPC"},
    {137, "NetBIOS Name"},
    {138, "NetBIOS Datagram"},
    {139, "NetBIOS Session"},
    {161, "SNMP"},
    {162, "SNMP Trap"},
    {194, "Internet Relay Chat"},
    {213, "IPS"},
    {396, "NetWare"},
    {515, "Print"},
    {532, "Readnews"},
    {666, "Doom"},
    {1352, "Lotus Notes"},
    {1433, "MS SQL Server"},
    {1498, "Sybase"},
    {1524, "Ingres"},
    {1525, "Oracle"},
    {1527, "Oracle"},
    {1571, "Oracle"},
    {1575, "Oracle"},
    {2382, "MS OLAP"},
    {2383, "MS OLAP"},
    {2638, "Sybase"},
    {3264, "CC:mail"},
    {3300, "SAP"},
    {3301, "SAP"},
};

// The decimal number of a user port item before its tab; nothing when it is not one.
std::optional<uint16_t> UserPortNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 5) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + uint32_t(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return uint16_t(value);
}

// ---- DNS ----

// Moves pos past the name that starts there (labels ending in a zero byte or a pointer).
// False when the name runs past the message or uses a reserved label form.
bool SkipDnsName(const uint8_t* message, size_t length, size_t& pos) {
  while (true) {
    if (pos >= length) return false;
    uint8_t b = message[pos];
    if (b == 0) {
      pos += 1;
      return true;
    }
    if ((b & 0xC0) == 0xC0) {
      if (pos + 2 > length) return false;
      pos += 2;
      return true;
    }
    if ((b & 0xC0) != 0) return false;
    pos += 1 + size_t(b);  // strictly forward, so the walk ends
  }
}

// The dotted name at offset, following compression pointers. False on a pointer outside
// the message, a label past its end, a reserved label form or a pointer loop.
bool ReadDnsName(const uint8_t* message, size_t length, size_t pos, std::string* name) {
  name->clear();
  // Every pointer of a well-formed name leads to a different place, so more pointers than
  // there are places in the message means a loop.
  size_t jumpsLeft = length / 2 + 1;
  size_t textLimit = 255;  // the longest name a DNS message can carry
  while (true) {
    if (pos >= length) return false;
    uint8_t b = message[pos];
    if (b == 0) return true;
    if ((b & 0xC0) == 0xC0) {
      if (pos + 2 > length || jumpsLeft-- == 0) return false;
      pos = (size_t(b & 0x3F) << 8) | message[pos + 1];
      continue;
    }
    if ((b & 0xC0) != 0) return false;
    if (pos + 1 + b > length) return false;
    if (!name->empty()) *name += '.';
    name->append(Bytes(message + pos + 1, b));
    if (name->size() > textLimit) return false;
    pos += 1 + size_t(b);
  }
}

// ---- name files ----

void RecordAddressText(LearnedNames& names, std::string_view name, std::string_view address, bool mac) {
  if (Contains(address, "*")) return;
  std::optional<AddressKey> key = mac ? MacKeyFromText(address) : IpKeyFromDottedText(address);
  if (key) names.Record(*key, name);
}

std::string JoinPath(const std::string& folder, std::string_view relative) {
  if (folder.empty()) return {};
  std::string path = folder;
  if (path.back() != '/') path += '/';
  path += relative;
  return path;
}

}  // namespace

// ---- VendorTable ----

namespace {
// Calls f with each line of the source as ForEachLine does with a text, reading it a piece
// at a time: no copy of the whole file, whose fresh pages would cost more than the parsing.
// False when a read failed.
template <typename F>
bool ForEachLineOf(ByteSource& source, F&& f) {
  size_t size = size_t(64) << 10;
  auto buffer = std::make_unique_for_overwrite<char[]>(size);
  MapPagesNow(buffer.get(), size);
  size_t held = 0;  // bytes of an unfinished line at the buffer's start
  for (int64_t offset = 0;;) {
    const size_t got = source.ReadAt(offset, reinterpret_cast<uint8_t*>(buffer.get()) + held, size - held);
    if (got == 0) break;
    offset += int64_t(got);
    held += got;
    // The complete lines held; an unfinished one waits for the next piece.
    const std::string_view data(buffer.get(), held);
    const size_t lastEnd = data.rfind('\n');
    const size_t done = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
    ForEachLine(data.substr(0, done), f);
    if (done == 0 && held == size) {  // a line longer than the buffer
      auto larger = std::make_unique_for_overwrite<char[]>(size * 2);
      std::memcpy(larger.get(), buffer.get(), held);
      buffer = std::move(larger);
      size *= 2;
    } else {
      std::memmove(buffer.get(), buffer.get() + done, held - done);
      held -= done;
    }
  }
  if (source.Failed()) return false;
  ForEachLine(std::string_view(buffer.get(), held), f);  // a last line without its end
  return true;
}
}  // namespace

bool VendorTable::Load(const std::string& path) {
  entries_.clear();
  const std::unique_ptr<FileSource> file = path.empty() ? nullptr : FileSource::Open(path);
  if (!file) return false;
  // Room for the most lines the file can hold: a line that makes an entry has at least
  // seven bytes with its end. Room not filled is never touched.
  entries_.reserve(std::min<size_t>(kMaxEntries, size_t(std::min<int64_t>(file->Size(), int64_t(1) << 30) / 7 + 1)));
  // The room's pages are mapped 64 KiB at a time as the entries reach them, not a fault a page.
  size_t mapped = 0;
  auto add = [this, &mapped](std::string_view line) {
    if (entries_.size() == mapped && mapped < entries_.capacity()) {
      const size_t next = std::min(entries_.capacity(), mapped + (size_t(64) << 10) / sizeof(Entry));
      MapPagesNow(entries_.data() + mapped, (next - mapped) * sizeof(Entry));
      mapped = next;
    }
    AddLine(line);
  };
  if (!ForEachLineOf(*file, add)) {
    entries_.clear();
    return false;
  }
  PutInOrder();
  return true;
}

void VendorTable::LoadText(std::string_view text) {
  entries_.clear();
  entries_.reserve(std::min<size_t>(kMaxEntries, size_t(std::count(text.begin(), text.end(), '\n')) + 1));
  ForEachLine(text, [this](std::string_view line) { AddLine(line); });
  PutInOrder();
  // Room was made for every line; only a text of many other lines leaves much unused.
  if (entries_.capacity() - entries_.size() > entries_.size() / 8) entries_.shrink_to_fit();
}

void VendorTable::AddLine(std::string_view line) {
  if (entries_.size() >= kMaxEntries || line.size() < 6) return;
  std::array<uint8_t, 3> oui;
  for (size_t i = 0; i < 3; ++i) {
    const int hi = HexValue(line[2 * i]), lo = HexValue(line[2 * i + 1]);
    if (hi < 0 || lo < 0) return;
    oui[i] = uint8_t(hi << 4 | lo);
  }
  // A comment: after six hexadecimal digits it can only start further on.
  for (size_t i = 6; i + 1 < line.size(); ++i)
    if (line[i] == '/' && line[i + 1] == '*') return;
  // Made in place, field by field: an entry made aside from byte stores and copied in
  // whole waits for those stores to reach the cache first.
  Entry& entry = entries_.emplace_back();
  entry.oui = oui;
  // Characters 8..13 as they stand, blanks included: "Intel Corporation" gives "Intel ".
  if (line.size() > 7) {
    const std::string_view name = line.substr(7, kMaxName);
    std::memcpy(entry.name.data(), name.data(), name.size());
    entry.nameLength = uint8_t(name.size());
  }
}

void VendorTable::PutInOrder() {
  // Lookups search by halves: a file out of order is put in order (equal prefixes keep the
  // file's order, the first one found by a lookup being any of them). The file that comes
  // with the program is in order already, and every run of it loads the table.
  auto byPrefix = [](const Entry& a, const Entry& b) { return PrefixValue(a) < PrefixValue(b); };
  if (!std::is_sorted(entries_.begin(), entries_.end(), byPrefix))
    std::stable_sort(entries_.begin(), entries_.end(), byPrefix);
}

uint16_t VendorTable::Lookup(const uint8_t* address) const {
  if (address == nullptr) return 0;
  auto compare = [&](const Entry& e) {
    for (size_t i = 0; i < 3; ++i)
      if (address[i] != e.oui[i]) return address[i] < e.oui[i] ? -1 : 1;
    return 0;
  };
  int64_t low = 1, high = int64_t(entries_.size());
  while (low <= high) {
    int64_t middle = (low + high) / 2;
    int c = compare(entries_[size_t(middle - 1)]);
    if (c == 0) return uint16_t(middle);
    if (c > 0)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return 0;
}

std::string_view VendorTable::Name(uint16_t index) const {
  if (index == 0 || index > entries_.size()) return {};
  const Entry& entry = entries_[index - 1];
  return {entry.name.data(), entry.nameLength};
}

std::array<uint8_t, 3> VendorTable::Oui(uint16_t index) const {
  if (index == 0 || index > entries_.size()) return {};
  return entries_[index - 1].oui;
}

// ---- PortNames ----

PortNames::PortNames() { SetUserPorts({}); }

void PortNames::SetUserPorts(const std::vector<std::string>& items) {
  userItems_ = items;
  user_.clear();
  named_.reset();
  for (const BuiltInPort& p : kBuiltInPorts) named_.set(p.port);
  for (const std::string& item : items) {
    size_t tab = item.find('\t');
    if (tab == std::string::npos) continue;
    std::optional<uint16_t> port = UserPortNumber(std::string_view(item).substr(0, tab));
    if (!port) continue;
    user_.emplace_back(*port, item.substr(tab + 1));
    named_.set(*port);
  }
}

std::string_view PortNames::BuiltInName(uint16_t port) {
  auto it = std::lower_bound(std::begin(kBuiltInPorts), std::end(kBuiltInPorts), port,
                             [](const BuiltInPort& p, uint16_t value) { return p.port < value; });
  if (it != std::end(kBuiltInPorts) && it->port == port) return it->name;
  return {};
}

bool PortNames::Lookup(uint16_t port, std::string* name) const {
  for (const auto& [number, text] : user_) {
    if (number == port) {
      if (name) *name = text;
      return true;
    }
  }
  std::string_view builtIn = BuiltInName(port);
  if (!builtIn.empty()) {
    if (name) *name = std::string(builtIn);
    return true;
  }
  if (name) *name = "Port " + std::to_string(port);
  return false;
}

std::string IpxSocketName(uint16_t socket) {
  switch (socket) {
    case 0x0451: return "NCP";
    case 0x0452: return "SAP";
    case 0x0453: return "RIP";
    case 0x0455: return "NetBIOS";
    case 0x0456: return "Diag";
    case 0x0457: return "Serialize";
    default: break;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 0; i < 4; ++i) text[size_t(i)] = kHex[(socket >> (12 - 4 * i)) & 0xF];
  return text;
}

// ---- LearnedNames ----

bool LearnedNames::Record(const AddressKey& key, std::string_view name) {
  if (key.length == 0 || name.empty()) return false;
  return names_.try_emplace(key, name.substr(0, kMaxLearnedName)).second;
}

const std::string* LearnedNames::Find(const AddressKey& key) const {
  auto it = names_.find(key);
  return it == names_.end() ? nullptr : &it->second;
}

// ---- learners ----

void LearnNetBiosLlc(LearnedNames& names, const uint8_t* llc, size_t available, const AddressKey& sourceMac) {
  // DSAP, SSAP and the one-byte control field of an unnumbered frame, then the NetBIOS
  // header: command at byte 4, source name at bytes 28..43.
  constexpr size_t kLlc = 3, kNameAt = 28, kNameLength = 16;
  if (llc == nullptr || available < kLlc + kNameAt + kNameLength) return;
  if ((llc[2] & 0x03) != 0x03) return;
  const uint8_t* payload = llc + kLlc;
  if (payload[4] != 0x01 && payload[4] != 0x08) return;
  names.Record(sourceMac, TrimControl(Bytes(payload + kNameAt, kNameLength)));
}

void LearnNetBiosIpx(LearnedNames& names, const uint8_t* payload, size_t available, const AddressKey& sourceNet) {
  constexpr size_t kNameAt = 34, kNameLength = 16;
  if (payload == nullptr || available < kNameAt + kNameLength) return;
  if (payload[1] != 2 && payload[1] != 3) return;
  names.Record(sourceNet, TrimControlRight(Bytes(payload + kNameAt, kNameLength)));
}

void LearnSapEntries(LearnedNames& names, const uint8_t* payload, size_t available, uint16_t ipxLength,
                     const AddressKey& sourceMac) {
  constexpr size_t kIpxHeader = 30, kFirstEntry = 2, kEntry = 64, kNameField = 48;
  if (payload == nullptr || ipxLength < kIpxHeader) return;
  size_t end = std::min(available, size_t(ipxLength) - kIpxHeader);
  for (size_t offset = kFirstEntry; offset + kEntry <= end; offset += kEntry) {
    const uint8_t* entry = payload + offset;
    std::string_view field = Bytes(entry + 2, kNameField);
    std::string_view name = field.substr(0, field.find('\0'));
    if (name.empty()) continue;
    names.Record(AddressKey::From(entry + 50, 10), name);
    if (entry[63] == 1) names.Record(sourceMac, name);
  }
}

void LearnDnsAnswers(LearnedNames& names, const uint8_t* message, size_t length) {
  constexpr size_t kHeader = 12;
  if (message == nullptr || length < kHeader) return;
  if ((message[2] & 0x80) == 0) return;  // a query, not a response
  size_t questions = size_t(message[4]) << 8 | message[5];
  size_t answers = size_t(message[6]) << 8 | message[7];
  size_t pos = kHeader;
  for (size_t i = 0; i < questions; ++i) {
    if (!SkipDnsName(message, length, pos) || pos + 4 > length) return;
    pos += 4;  // type and class
  }
  std::string name;
  for (size_t i = 0; i < answers; ++i) {
    size_t owner = pos;
    if (!SkipDnsName(message, length, pos) || pos + 10 > length) return;
    uint16_t type = uint16_t(message[pos] << 8 | message[pos + 1]);
    size_t dataLength = size_t(message[pos + 8]) << 8 | message[pos + 9];
    size_t data = pos + 10;
    if (data + dataLength > length) return;
    if (type == 1 && dataLength == 4 && ReadDnsName(message, length, owner, &name))
      names.Record(AddressKey::From(message + data, 4), name);
    pos = data + dataLength;
  }
}

// ---- address texts ----

std::optional<AddressKey> MacKeyFromText(std::string_view text) {
  text = TrimBlanks(text);
  std::string digits;
  if (text.find_first_of("-:") == std::string_view::npos) {
    digits = text;  // the 12 digits without separators
  } else {
    // "-" reads as ":"; six groups of one or two digits, a one-digit group with a leading "0".
    size_t groups = 0;
    while (true) {
      size_t end = text.find_first_of("-:");
      std::string_view group = text.substr(0, end);
      if (group.empty() || group.size() > 2 || ++groups > 6) return std::nullopt;
      if (group.size() == 1) digits += '0';
      digits += group;
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
    if (groups != 6) return std::nullopt;
  }
  if (digits.size() != 12) return std::nullopt;
  AddressKey key;
  key.length = 6;
  for (size_t i = 0; i < 6; ++i) {
    int hi = HexValue(digits[2 * i]), lo = HexValue(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    key.bytes[i] = uint8_t(hi << 4 | lo);
  }
  return key;
}

std::optional<AddressKey> IpKeyFromDottedText(std::string_view text) {
  text = TrimBlanks(text);
  AddressKey key;
  key.length = 4;
  size_t field = 0, digits = 0;
  uint32_t value = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || value > 255 || field >= 4) return std::nullopt;
      key.bytes[field++] = uint8_t(value);
      value = 0;
      digits = 0;
    } else if (text[i] >= '0' && text[i] <= '9') {
      if (++digits > 3) return std::nullopt;
      value = value * 10 + uint32_t(text[i] - '0');
    } else {
      return std::nullopt;
    }
  }
  if (field != 4) return std::nullopt;
  return key;
}

// ---- name files ----

void ImportNamesNamText(LearnedNames& names, std::string_view text) {
  bool inEntry = false;
  std::optional<std::string> name;
  std::vector<AddressKey> addresses;  // addresses of the open entry
  ForEachLine(text, [&](std::string_view line) {
    std::string lower = Lower(line);
    if (Contains(lower, "<entry class") && Contains(lower, "\"address\"")) {
      inEntry = true;
      name.reset();
      addresses.clear();
    }
    if (inEntry) {
      if (size_t open = lower.find("<name>"); open != std::string::npos) {
        size_t from = open + 6;
        size_t close = lower.find("</name>", from);
        if (close != std::string::npos) {
          name = std::string(line.substr(from, std::min(close - from, kMaxLearnedName)));
          for (const AddressKey& key : addresses) names.Record(key, *name);
        }
      }
      if (Contains(lower, "<address type")) {
        size_t from = lower.find('>');
        size_t to = from == std::string::npos ? from : lower.find('<', from + 1);
        if (to != std::string::npos) {
          std::string_view address = line.substr(from + 1, to - from - 1);
          std::optional<AddressKey> key;
          if (!Contains(address, "*")) {
            if (Contains(lower, "\"ethernet\"") || Contains(lower, "\"tokenring\""))
              key = MacKeyFromText(address);
            else if (Contains(lower, "\"ip\""))
              key = IpKeyFromDottedText(address);
          }
          if (key) {
            addresses.push_back(*key);
            if (name) names.Record(*key, *name);
          }
        }
      }
      if (Contains(lower, "</entry")) {
        inEntry = false;
        name.reset();
        addresses.clear();
      }
    }
  });
}

void ImportTabNamesText(LearnedNames& names, std::string_view text) {
  ForEachLine(text, [&](std::string_view line) {
    size_t first = line.find('\t');
    if (first == std::string_view::npos) return;
    size_t second = line.find('\t', first + 1);
    if (second == std::string_view::npos) return;
    size_t third = line.find('\t', second + 1);
    std::string_view name = line.substr(0, first);
    std::string type = Lower(line.substr(first + 1, second - first - 1));
    std::string_view address =
        line.substr(second + 1, third == std::string_view::npos ? std::string_view::npos : third - second - 1);
    if (Contains(type, "ethernet") || Contains(type, "tokenring"))
      RecordAddressText(names, name, address, true);
    else if (Contains(type, "ip"))
      RecordAddressText(names, name, address, false);
  });
}

void ImportObserverTableBytes(LearnedNames& names, const uint8_t* data, size_t size) {
  constexpr size_t kRecord = 80, kMacAt = 4, kNameAt = 10, kNameField = 18, kIpAt = 28;
  if (data == nullptr) return;
  for (size_t offset = 0; offset + kRecord <= size; offset += kRecord) {
    const uint8_t* record = data + offset;
    std::string_view field = Bytes(record + kNameAt, kNameField);
    std::string_view name = field.substr(0, field.find('\0'));
    if (name.empty()) continue;
    names.Record(AddressKey::From(record + kMacAt, 6), name);
    const uint8_t* ip = record + kIpAt;
    if (ip[0] | ip[1] | ip[2] | ip[3]) names.Record(AddressKey::From(ip, 4), name);
  }
}

bool ImportNamesNamFile(LearnedNames& names, const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return false;
  ImportNamesNamText(names, text);
  return true;
}

bool ImportTabNamesFile(LearnedNames& names, const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return false;
  ImportTabNamesText(names, text);
  return true;
}

bool ImportObserverTableFile(LearnedNames& names, const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  ImportObserverTableBytes(names, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}

NameFileLocations NameFileLocations::Under(const std::string& folder) {
  NameFileLocations where;
  if (folder.empty()) return where;
  where.etherPeekNames = JoinPath(folder, "AG Group/EtherPeek/4.0/names.nam");
  where.tokenPeekNames = JoinPath(folder, "AG Group/TokenPeek/4.0/names.nam");
  where.etherPeekConfig = JoinPath(folder, "Config/ep.nam");
  where.tokenPeekConfig = JoinPath(folder, "Config/tp.nam");
  where.observerAddresses = JoinPath(folder, "Observer Files/LocalAddressTable/Default.adr");
  return where;
}

NameFileLocations NameFileLocations::Default() {
  // XDG base directories: an unset, empty or relative XDG_DATA_HOME means ~/.local/share.
  std::string data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    data = JoinPath(home, ".local/share");
  }
  if (data.empty()) return {};
  return Under(JoinPath(data, "Korvane/names"));
}

void ImportNameFiles(LearnedNames& names, TraceFormat format, uint8_t topologyCode, const NameFileLocations& where) {
  if (format == fmt_id::EtherPeek) {
    // The tagged file first: the first name learned for an address stays.
    bool tokenRing = topologyCode == topology::TokenRing;
    ImportNamesNamFile(names, tokenRing ? where.tokenPeekNames : where.etherPeekNames);
    ImportTabNamesFile(names, tokenRing ? where.tokenPeekConfig : where.etherPeekConfig);
  } else if (format == fmt_id::Observer) {
    ImportObserverTableFile(names, where.observerAddresses);
  }
}

}  // namespace korvane
