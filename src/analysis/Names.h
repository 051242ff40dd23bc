// Everything that turns numbers into names: the vendor table, well-known ports and IPX
// sockets, the user's own server ports, and the station names learned from the traffic
// or imported from other analysers' name files.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/AddressKey.h"
#include "input/TraceTypes.h"

namespace korvane {

inline constexpr size_t kMaxLearnedName = 41;

// Vendor prefixes from OUI.TXT, loaded once at start-up; entries 1..Count(), ascending.
//
// Each line of the file: characters 1..6 the prefix as six hexadecimal digits, a blank,
// characters 8..13 the vendor's short name, blanks included (shorter when the line ends).
// Empty lines and lines holding "/*" are skipped, and so is a line whose first six
// characters are not hexadecimal digits. At most kMaxEntries lines are taken, then put in
// ascending order of prefix, whatever the file's order.
class VendorTable {
 public:
  static constexpr size_t kMaxEntries = 65535;
  static constexpr size_t kMaxName = 6;

  bool Load(const std::string& path);    // false when missing or unreadable (table left empty)
  void LoadText(std::string_view text);  // the file's contents; replaces the table
  void Clear() { entries_.clear(); }
  // 1-based index of the address's first three bytes; 0 when not listed.
  uint16_t Lookup(const uint8_t* address) const;
  uint16_t Lookup(const AddressKey& key) const { return key.length >= 3 ? Lookup(key.bytes.data()) : 0; }
  // The entry's name; empty for 0 and for an index past the end.
  std::string_view Name(uint16_t index) const;
  // The entry's three prefix bytes; zeros for 0 and for an index past the end.
  std::array<uint8_t, 3> Oui(uint16_t index) const;
  size_t Count() const { return entries_.size(); }

 private:
  // Ten bytes and nothing on the heap: every run loads some 32,000 of them.
  struct Entry {
    std::array<uint8_t, 3> oui;
    uint8_t nameLength = 0;
    std::array<char, kMaxName> name;
  };
  static uint32_t PrefixValue(const Entry& e) { return uint32_t(e.oui[0]) << 16 | uint32_t(e.oui[1]) << 8 | e.oui[2]; }
  void AddLine(std::string_view line);
  void PutInOrder();
  std::vector<Entry> entries_;  // entry i of the table is entries_[i - 1]
};

// Port names: the user's server ports first, then the built-in table.
class PortNames {
 public:
  PortNames();
  // Items as the server ports dialog keeps them: the port number, a tab, the name. Items
  // without a tab or without a decimal number of at most 65535 before it never match.
  void SetUserPorts(const std::vector<std::string>& items);
  const std::vector<std::string>& UserPorts() const { return userItems_; }
  // Found flag and name; not found gives "Port " and the number. name may be null.
  bool Lookup(uint16_t port, std::string* name) const;
  // Whether the port has a name at all (user or built-in); constant time.
  bool IsNamed(uint16_t port) const { return named_[port]; }
  // The built-in table alone; empty when the port is not in it.
  static std::string_view BuiltInName(uint16_t port);

 private:
  std::vector<std::string> userItems_;
  std::vector<std::pair<uint16_t, std::string>> user_;
  std::bitset<65536> named_;
};

// NCP, SAP, RIP, NetBIOS, Diag, Serialize for the well-known sockets; otherwise the socket
// as 4 upper-case hexadecimal digits.
std::string IpxSocketName(uint16_t socket);

// Names learned while a trace is read; the first name learned for an address stays.
class LearnedNames {
 public:
  void Reset() { names_.clear(); }
  // Cuts the name to kMaxLearnedName bytes. An empty name, or a key without bytes, adds
  // nothing. Returns true when the name was added, false when the address already had one.
  bool Record(const AddressKey& key, std::string_view name);
  const std::string* Find(const AddressKey& key) const;
  const std::map<AddressKey, std::string>& All() const { return names_; }  // ascending keys
  size_t Count() const { return names_.size(); }

 private:
  std::map<AddressKey, std::string> names_;
};

// Learners. Each reads only within the bytes it is given, never past `available`
// (or `length`), whatever the length fields inside claim.
//
// NetBIOS over LLC: llc points at the DSAP byte; available counts the bytes from there.
// An unnumbered frame (control AND 3 = 3) carrying an add-name query (0x01) or a datagram
// (0x08) names the source MAC with its source name field, trimmed at both ends. The caller
// applies the frame-size rule (Ethernet frames of at least 58 bytes).
void LearnNetBiosLlc(LearnedNames& names, const uint8_t* llc, size_t available, const AddressKey& sourceMac);
// NetBIOS over IPX: payload points after the 30-byte IPX header. Name frames (payload
// byte 1 is 2 or 3) name the IPX source address (10 bytes).
void LearnNetBiosIpx(LearnedNames& names, const uint8_t* payload, size_t available, const AddressKey& sourceNet);
// SAP responses: payload after the IPX header; ipxLength is the IPX length field. Each
// complete 64-byte service entry (from payload byte 2) inside both the IPX length and the
// available bytes names its server's IPX address, and the source MAC when the server is
// one hop away.
void LearnSapEntries(LearnedNames& names, const uint8_t* payload, size_t available, uint16_t ipxLength,
                     const AddressKey& sourceMac);
// DNS responses: message points at the DNS header (over TCP, after the 2-byte length
// prefix); length counts the message bytes present. Every answer of type A names its
// address with the answer's owner name (compressed names followed, at most 41 characters).
void LearnDnsAnswers(LearnedNames& names, const uint8_t* message, size_t length);

// Address texts of the name files.
// A MAC address text: groups separated by "-" or ":", a one-digit group read with a
// leading zero, or 12 digits without separators; anything else gives nothing.
std::optional<AddressKey> MacKeyFromText(std::string_view text);
// A dotted IP address text: four decimal fields of at most 255; anything else gives nothing.
std::optional<AddressKey> IpKeyFromDottedText(std::string_view text);

// The name files themselves. The text and byte forms read what a file holds; the file
// forms return false when the file is missing or unreadable (and add nothing).
void ImportNamesNamText(LearnedNames& names, std::string_view text);  // names.nam (tagged text)
void ImportTabNamesText(LearnedNames& names, std::string_view text);  // ep.nam, tp.nam
void ImportObserverTableBytes(LearnedNames& names, const uint8_t* data, size_t size);  // 80-byte records
bool ImportNamesNamFile(LearnedNames& names, const std::string& path);
bool ImportTabNamesFile(LearnedNames& names, const std::string& path);
bool ImportObserverTableFile(LearnedNames& names, const std::string& path);

// Where the capturing analysers keep their station names on this system.
struct NameFileLocations {
  std::string etherPeekNames;     // names.nam of EtherPeek (Ethernet)
  std::string tokenPeekNames;     // names.nam of TokenPeek
  std::string etherPeekConfig;    // ep.nam
  std::string tokenPeekConfig;    // tp.nam
  std::string observerAddresses;  // the Observer local address table
  // Under "<XDG data folder>/Korvane/names/" (see docs/name-files.md); all empty when
  // neither XDG_DATA_HOME nor HOME gives a folder.
  static NameFileLocations Default();
  static NameFileLocations Under(const std::string& folder);  // the same layout below folder
};

// Loads the names the capturing analyser keeps, for the trace's format; missing files are skipped.
void ImportNameFiles(LearnedNames& names, TraceFormat format, uint8_t topologyCode, const NameFileLocations& where);

}  // namespace korvane
