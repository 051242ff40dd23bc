#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "analysis/Names.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

AddressKey Key(std::vector<uint8_t> bytes) { return AddressKey::From(bytes.data(), uint8_t(bytes.size())); }
AddressKey Mac(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f) { return Key({a, b, c, d, e, f}); }
AddressKey Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return Key({a, b, c, d}); }

std::string NameOf(const LearnedNames& names, const AddressKey& key) {
  const std::string* name = names.Find(key);
  return name ? *name : "<none>";
}

void Put(std::vector<uint8_t>& b, size_t at, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) b.at(at + i) = uint8_t(text[i]);
}

// A folder of its own below the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("korvane_names_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string Write(const std::string& relative, std::string_view contents) const {
    fs::path file = path_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(contents.data(), std::streamsize(contents.size()));
    return file.string();
  }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

// ---------------------------------------------------------------- vendor table

TEST(VendorTable, LineExampleGivesPrefixAndName) {
  VendorTable vendors;
  vendors.LoadText("/* vendor prefixes */\n00000C Cisco\n");
  ASSERT_EQ(vendors.Count(), 1u);
  EXPECT_EQ(vendors.Oui(1), (std::array<uint8_t, 3>{0x00, 0x00, 0x0C}));
  EXPECT_EQ(vendors.Name(1), "Cisco");
  const uint8_t station[6] = {0x00, 0x00, 0x0C, 0x01, 0x02, 0x03};
  EXPECT_EQ(vendors.Lookup(station), 1);
  EXPECT_EQ(vendors.Lookup(Mac(0x00, 0x00, 0x0C, 0x01, 0x02, 0x03)), 1);
  EXPECT_EQ(vendors.Lookup(Mac(0x00, 0x00, 0x0D, 0x01, 0x02, 0x03)), 0);
}

TEST(VendorTable, LineRules) {
  VendorTable vendors;
  vendors.LoadText(
      "\n"
      "/* first comment */\n"
      "000001 XE\n"             // shorter name: the line ends
      "000002 ABCDEFGHIJ\n"     // characters 8..13 only
      "000003\n"                // no name at all
      "00000g Bad\n"            // not hexadecimal: skipped
      "0000\n"                  // too short: skipped
      "00000a lower\r\n"        // lower-case digits, CR LF line end
      "  /* indented comment 000004 X */\n"
      "\n"
      "0000FF Last");           // no final line end
  ASSERT_EQ(vendors.Count(), 5u);
  EXPECT_EQ(vendors.Name(1), "XE");
  EXPECT_EQ(vendors.Name(2), "ABCDEF");
  EXPECT_EQ(vendors.Name(3), "");
  EXPECT_EQ(vendors.Oui(4), (std::array<uint8_t, 3>{0x00, 0x00, 0x0A}));
  EXPECT_EQ(vendors.Name(4), "lower");
  EXPECT_EQ(vendors.Name(5), "Last");
  EXPECT_EQ(vendors.Name(0), "");
  EXPECT_EQ(vendors.Name(6), "");
  EXPECT_EQ(vendors.Oui(0), (std::array<uint8_t, 3>{}));
  EXPECT_EQ(vendors.Lookup(Mac(0, 0, 0xFF, 0, 0, 0)), 5);
  EXPECT_EQ(vendors.Lookup(Mac(0, 0, 0x04, 0, 0, 0)), 0);
}

TEST(VendorTable, EmptyOrMissingFileGivesZero) {
  VendorTable vendors;
  EXPECT_EQ(vendors.Lookup(Mac(0, 0, 0x0C, 1, 2, 3)), 0);
  EXPECT_FALSE(vendors.Load("/nonexistent/korvane/OUI.TXT"));
  EXPECT_EQ(vendors.Count(), 0u);
  EXPECT_EQ(vendors.Lookup(Mac(0, 0, 0, 0, 0, 0)), 0);
  EXPECT_EQ(vendors.Lookup(static_cast<const uint8_t*>(nullptr)), 0);
  EXPECT_EQ(vendors.Lookup(AddressKey{}), 0);  // a key of no bytes
}

TEST(VendorTable, LoadReplacesAndReadsFile) {
  TempFolder folder;
  std::string path = folder.Write("OUI.TXT", "/* test */\r\n00000C Cisco\r\n00AA00 Intel\r\n");
  VendorTable vendors;
  vendors.LoadText("112233 Old\n");
  ASSERT_TRUE(vendors.Load(path));
  ASSERT_EQ(vendors.Count(), 2u);
  EXPECT_EQ(vendors.Name(2), "Intel");
  EXPECT_EQ(vendors.Lookup(Mac(0x11, 0x22, 0x33, 0, 0, 0)), 0);
  EXPECT_FALSE(vendors.Load(folder.Path() + "/missing.txt"));
  EXPECT_EQ(vendors.Count(), 0u);
}

std::string VendorLines(uint32_t count, uint32_t step) {
  std::string text;
  char line[32];
  for (uint32_t i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "%06X V%u\n", (i + 1) * step, i % 100000);
    text += line;
  }
  return text;
}

TEST(VendorTable, BinarySearchFindsEveryEntryAndNothingBetween) {
  VendorTable vendors;
  vendors.LoadText(VendorLines(1001, 3));
  ASSERT_EQ(vendors.Count(), 1001u);
  for (uint32_t i = 1; i <= 1001; ++i) {
    uint32_t oui = i * 3;
    uint8_t hit[6] = {uint8_t(oui >> 16), uint8_t(oui >> 8), uint8_t(oui), 0xAB, 0xCD, 0xEF};
    ASSERT_EQ(vendors.Lookup(hit), i);
    uint32_t gap = oui + 1;
    uint8_t miss[6] = {uint8_t(gap >> 16), uint8_t(gap >> 8), uint8_t(gap), 0, 0, 0};
    ASSERT_EQ(vendors.Lookup(miss), 0) << "between entries " << i << " and " << i + 1;
  }
  EXPECT_EQ(vendors.Lookup(Mac(0, 0, 0, 0, 0, 0)), 0);  // below the first
  EXPECT_EQ(vendors.Lookup(Mac(0xFF, 0xFF, 0xFF, 0, 0, 0)), 0);  // above the last
}

TEST(VendorTable, KeepsAtMost65535Entries) {
  VendorTable vendors;
  vendors.LoadText(VendorLines(70000, 1));
  ASSERT_EQ(vendors.Count(), 65535u);
  EXPECT_EQ(vendors.Lookup(Mac(0x00, 0xFF, 0xFF, 0, 0, 0)), 65535);  // the 65,535th line
  EXPECT_EQ(vendors.Lookup(Mac(0x01, 0x00, 0x00, 0, 0, 0)), 0);      // the 65,536th is not read
}

TEST(VendorTable, ShippedFileIsAscendingAndComplete) {
  fs::path file = fs::path(KORVANE_SOURCE_DIR) / "data" / "OUI.TXT";
  VendorTable vendors;
  ASSERT_TRUE(vendors.Load(file.string())) << file;
  ASSERT_GT(vendors.Count(), 20000u);
  ASSERT_LE(vendors.Count(), VendorTable::kMaxEntries);
  for (uint16_t i = 1; i <= vendors.Count(); ++i) {
    std::array<uint8_t, 3> oui = vendors.Oui(i);
    if (i > 1) {
      ASSERT_LT(vendors.Oui(uint16_t(i - 1)), oui) << "entry " << i;
    }
    ASSERT_FALSE(vendors.Name(i).empty()) << "entry " << i;
    ASSERT_LE(vendors.Name(i).size(), 6u);
    uint8_t address[6] = {oui[0], oui[1], oui[2], 1, 2, 3};
    ASSERT_EQ(vendors.Lookup(address), i);
  }
  EXPECT_EQ(vendors.Name(vendors.Lookup(Mac(0x00, 0x00, 0x0C, 1, 2, 3))), "Cisco");
}

// ---------------------------------------------------------------- ports and sockets

TEST(PortNames, UnknownPortAndUserPort) {
  PortNames ports;
  std::string name;
  EXPECT_FALSE(ports.Lookup(8080, &name));
  EXPECT_EQ(name, "Port 8080");
  EXPECT_FALSE(ports.IsNamed(8080));
  ports.SetUserPorts({"8080\tProxy"});
  EXPECT_TRUE(ports.Lookup(8080, &name));
  EXPECT_EQ(name, "Proxy");
  EXPECT_TRUE(ports.IsNamed(8080));
  EXPECT_EQ(ports.UserPorts(), std::vector<std::string>{"8080\tProxy"});
  ports.SetUserPorts({});
  EXPECT_FALSE(ports.Lookup(8080, &name));
  EXPECT_EQ(name, "Port 8080");
  EXPECT_FALSE(ports.IsNamed(8080));
  EXPECT_FALSE(ports.Lookup(0, &name));
  EXPECT_EQ(name, "Port 0");
  EXPECT_FALSE(ports.Lookup(65535, nullptr));
}

TEST(PortNames, EveryBuiltInEntry) {
  const std::vector<std::pair<uint16_t, std::string>> table = {
      {20, "FTP Data"}, {21, "FTP Control"}, {23, "Telnet"}, {25, "SMTP"}, {53, "DNS"}, {67, "Bootp"},
      {68, "Bootp"}, {79, "Finger"}, {80, "HTTP"}, {107, "Remote Telnet"}, {109, "POP2"}, {110, "POP3"},
      {111, "Sun RPC"}, {127, "Sun RPC"}, {115, "Simple File Transfer"}, {119, "NNTP"},
      {123, "Network Time Protocol"}, {137, "NetBIOS Name"}, {138, "NetBIOS Datagram"},
      {139, "NetBIOS Session"}, {161, "SNMP"}, {162, "SNMP Trap"}, {194, "Internet Relay Chat"},
      {213, "IPS"}, {396, "NetWare"}, {515, "Print"}, {532, "Readnews"}, {666, "Doom"},
      {1352, "Lotus Notes"}, {1433, "MS SQL Server"}, {1498, "Sybase"}, {2638, "Sybase"},
      {1524, "Ingres"}, {1525, "Oracle"}, {1527, "Oracle"}, {1571, "Oracle"}, {1575, "Oracle"},
      {2382, "MS OLAP"}, {2383, "MS OLAP"}, {3264, "CC:mail"}, {3300, "SAP"}, {3301, "SAP"}};
  PortNames ports;
  size_t named = 0;
  for (uint32_t port = 0; port <= 65535; ++port) {
    std::string name;
    bool found = ports.Lookup(uint16_t(port), &name);
    auto it = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.first == port; });
    if (it == table.end()) {
      ASSERT_FALSE(found) << port;
      ASSERT_FALSE(ports.IsNamed(uint16_t(port))) << port;
      ASSERT_EQ(name, "Port " + std::to_string(port));
    } else {
      ++named;
      EXPECT_TRUE(found) << port;
      EXPECT_TRUE(ports.IsNamed(uint16_t(port))) << port;
      EXPECT_EQ(name, it->second) << port;
      EXPECT_EQ(PortNames::BuiltInName(uint16_t(port)), it->second) << port;
    }
  }
  EXPECT_EQ(named, table.size());
}

TEST(PortNames, UserPortsComeFirstInListOrder) {
  PortNames ports;
  ports.SetUserPorts({"80\tWeb", "9000\tFirst", "9000\tSecond", "no number\tX", "70000\tBig", "8081 NoTab",
                      " 8082 \tSpaced", "\tEmpty", "0443\tLeading zero"});
  std::string name;
  EXPECT_TRUE(ports.Lookup(80, &name));
  EXPECT_EQ(name, "Web");
  EXPECT_TRUE(ports.Lookup(9000, &name));
  EXPECT_EQ(name, "First");
  EXPECT_FALSE(ports.Lookup(8081, &name));
  EXPECT_FALSE(ports.IsNamed(8081));
  EXPECT_FALSE(ports.IsNamed(70000 - 65536));
  EXPECT_TRUE(ports.Lookup(8082, &name));
  EXPECT_EQ(name, "Spaced");
  EXPECT_TRUE(ports.Lookup(443, &name));
  EXPECT_EQ(name, "Leading zero");
  EXPECT_TRUE(ports.Lookup(21, &name));  // the built-in table still answers
  EXPECT_EQ(name, "FTP Control");
}

TEST(NamesIpxSocket, WellKnownAndHex) {
  EXPECT_EQ(IpxSocketName(0x0451), "NCP");
  EXPECT_EQ(IpxSocketName(0x0452), "SAP");
  EXPECT_EQ(IpxSocketName(0x0453), "RIP");
  EXPECT_EQ(IpxSocketName(0x0455), "NetBIOS");
  EXPECT_EQ(IpxSocketName(0x0456), "Diag");
  EXPECT_EQ(IpxSocketName(0x0457), "Serialize");
  EXPECT_EQ(IpxSocketName(0x4003), "4003");
  EXPECT_EQ(IpxSocketName(0x0454), "0454");
  EXPECT_EQ(IpxSocketName(0x000A), "000A");
  EXPECT_EQ(IpxSocketName(0xBEEF), "BEEF");
  EXPECT_EQ(IpxSocketName(0), "0000");
}

// ---------------------------------------------------------------- learned names

TEST(LearnedNames, FirstNameStaysAndNamesAreCut) {
  LearnedNames names;
  EXPECT_TRUE(names.Record(Ip(10, 0, 0, 1), "alpha"));
  EXPECT_FALSE(names.Record(Ip(10, 0, 0, 1), "beta"));
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 1)), "alpha");
  std::string longName(60, 'n');
  longName[40] = 'Z';
  EXPECT_TRUE(names.Record(Ip(10, 0, 0, 2), longName));
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 2)), std::string(40, 'n') + "Z");
  EXPECT_FALSE(names.Record(Ip(10, 0, 0, 3), ""));
  EXPECT_EQ(names.Find(Ip(10, 0, 0, 3)), nullptr);
  EXPECT_FALSE(names.Record(AddressKey{}, "nothing"));
  EXPECT_EQ(names.Count(), 2u);
  names.Reset();
  EXPECT_EQ(names.Count(), 0u);
}

TEST(LearnedNames, KeysOfDifferentLengthsAreDifferentAndAscending) {
  LearnedNames names;
  names.Record(Key({10, 0, 0, 1, 0, 0, 0, 0, 0, 0}), "ipx");
  names.Record(Key({10, 0, 0, 1, 0, 0}), "mac");
  names.Record(Ip(10, 0, 0, 1), "ip");
  std::vector<std::string> order;
  for (const auto& [key, name] : names.All()) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"ip", "mac", "ipx"}));
}

// ---------------------------------------------------------------- NetBIOS

// An LLC UI frame (DSAP, SSAP, control) carrying a NetBIOS header of 44 bytes.
std::vector<uint8_t> NetBiosLlc(uint8_t command, std::string_view sourceName, uint8_t control = 0x03) {
  std::vector<uint8_t> b(3 + 44, 0);
  b[0] = 0xF0;
  b[1] = 0xF0;
  b[2] = control;
  b[3] = 44;
  b[5] = 0xEF;
  b[6] = 0xFF;
  b[7] = command;
  Put(b, 3 + 12, "DESTINATION    \x1D");
  Put(b, 3 + 28, sourceName);
  return b;
}

TEST(LearnNetBios, LlcNameQueryAndDatagram) {
  LearnedNames names;
  AddressKey a = Mac(0, 0, 0x0C, 1, 1, 1), b = Mac(0, 0, 0x0C, 2, 2, 2), c = Mac(0, 0, 0x0C, 3, 3, 3);
  auto query = NetBiosLlc(0x01, "\x01 SERVER1       ");
  LearnNetBiosLlc(names, query.data(), query.size(), a);
  EXPECT_EQ(NameOf(names, a), "SERVER1");
  auto datagram = NetBiosLlc(0x08, "WORKSTATION2   \x03");
  LearnNetBiosLlc(names, datagram.data(), datagram.size(), b);
  EXPECT_EQ(NameOf(names, b), "WORKSTATION2");
  auto other = NetBiosLlc(0x0A, "NOTANAME       \x00");
  LearnNetBiosLlc(names, other.data(), other.size(), c);
  auto numbered = NetBiosLlc(0x08, "NUMBERED       \x00", 0x00);
  LearnNetBiosLlc(names, numbered.data(), numbered.size(), c);
  EXPECT_EQ(names.Find(c), nullptr);
}

TEST(LearnNetBios, NameAnnouncedTwiceKeepsTheFirst) {
  LearnedNames names;
  AddressKey mac = Mac(0x02, 0, 0, 0, 0, 1);
  auto first = NetBiosLlc(0x01, "FIRSTNAME      \x00");
  auto second = NetBiosLlc(0x01, "SECONDNAME     \x00");
  LearnNetBiosLlc(names, first.data(), first.size(), mac);
  LearnNetBiosLlc(names, second.data(), second.size(), mac);
  EXPECT_EQ(NameOf(names, mac), "FIRSTNAME");
  EXPECT_EQ(names.Count(), 1u);
}

TEST(LearnNetBios, ShortLlcFrameAddsNothing) {
  LearnedNames names;
  AddressKey mac = Mac(0x02, 0, 0, 0, 0, 1);
  auto frame = NetBiosLlc(0x01, "SHORT          \x00");
  for (size_t n = 0; n < frame.size(); ++n) {
    std::vector<uint8_t> cut(frame.begin(), frame.begin() + long(n));  // exactly n bytes: overreads show
    LearnNetBiosLlc(names, cut.data(), cut.size(), mac);
  }
  LearnNetBiosLlc(names, nullptr, 100, mac);
  EXPECT_EQ(names.Count(), 0u);
  LearnNetBiosLlc(names, frame.data(), frame.size(), mac);
  EXPECT_EQ(NameOf(names, mac), "SHORT");
}

std::vector<uint8_t> NetBiosIpx(uint8_t type, std::string_view name) {
  std::vector<uint8_t> b(50, 0);
  b[1] = type;
  Put(b, 34, name);
  return b;
}

TEST(LearnNetBios, OverIpxTrimsTheEndOnly) {
  LearnedNames names;
  AddressKey net1 = Key({0, 0, 0, 1, 0, 0, 0x0C, 1, 2, 3}), net2 = Key({0, 0, 0, 1, 0, 0, 0x0C, 1, 2, 4});
  auto two = NetBiosIpx(2, " LEADING  \x01\x00\x00\x00\x00\x20");
  LearnNetBiosIpx(names, two.data(), two.size(), net1);
  EXPECT_EQ(NameOf(names, net1), " LEADING");
  auto three = NetBiosIpx(3, "THREE");
  LearnNetBiosIpx(names, three.data(), three.size(), net2);
  EXPECT_EQ(NameOf(names, net2), "THREE");
  AddressKey net3 = Key({0, 0, 0, 1, 0, 0, 0x0C, 1, 2, 5});
  auto four = NetBiosIpx(4, "FOUR");
  LearnNetBiosIpx(names, four.data(), four.size(), net3);
  auto shortOne = NetBiosIpx(2, "SHORT");
  shortOne.pop_back();
  LearnNetBiosIpx(names, shortOne.data(), shortOne.size(), net3);
  EXPECT_EQ(names.Find(net3), nullptr);
}

// ---------------------------------------------------------------- SAP

struct SapServer {
  std::string name;
  std::vector<uint8_t> address;  // 10 bytes
  uint8_t hops;
};

// SAP response payload (after the IPX header): operation 2, then 64-byte entries.
std::vector<uint8_t> SapResponse(const std::vector<SapServer>& servers) {
  std::vector<uint8_t> b = {0x00, 0x02};
  for (const SapServer& s : servers) {
    std::vector<uint8_t> e(64, 0);
    e[1] = 0x04;  // file server
    Put(e, 2, s.name.substr(0, 48));
    std::copy(s.address.begin(), s.address.end(), e.begin() + 50);
    e[60] = 0x04;
    e[61] = 0x51;
    e[63] = s.hops;
    b.insert(b.end(), e.begin(), e.end());
  }
  return b;
}

const std::vector<uint8_t> kServer1 = {0xC0, 0xA8, 0, 1, 0, 0, 0, 0, 0, 1};
const std::vector<uint8_t> kServer2 = {0xC0, 0xA8, 0, 2, 0, 0, 0, 0, 0, 1};

TEST(LearnSap, TwoEntriesNameTwoServers) {
  LearnedNames names;
  AddressKey mac = Mac(0, 0, 0x1B, 9, 9, 9);
  auto payload = SapResponse({{"FS1", kServer1, 1}, {"FS2", kServer2, 2}});
  LearnSapEntries(names, payload.data(), payload.size(), uint16_t(30 + payload.size()), mac);
  EXPECT_EQ(NameOf(names, Key(kServer1)), "FS1");
  EXPECT_EQ(NameOf(names, Key(kServer2)), "FS2");
  EXPECT_EQ(NameOf(names, mac), "FS1");  // the one-hop server is the sender itself
  EXPECT_EQ(names.Count(), 3u);
}

TEST(LearnSap, FarServerDoesNotNameTheSender) {
  LearnedNames names;
  AddressKey mac = Mac(0, 0, 0x1B, 9, 9, 9);
  auto payload = SapResponse({{"FAR", kServer1, 3}, {"NEAR", kServer2, 1}});
  LearnSapEntries(names, payload.data(), payload.size(), uint16_t(30 + payload.size()), mac);
  EXPECT_EQ(NameOf(names, mac), "NEAR");
}

TEST(LearnSap, LengthsThatOverrun) {
  AddressKey mac = Mac(0, 0, 0x1B, 9, 9, 9);
  auto payload = SapResponse({{"FS1", kServer1, 1}, {"FS2", kServer2, 1}});
  {
    // The IPX length claims more than the frame holds: only complete entries are read.
    std::vector<uint8_t> cut(payload.begin(), payload.end() - 1);
    LearnedNames names;
    LearnSapEntries(names, cut.data(), cut.size(), 1500, mac);
    EXPECT_EQ(NameOf(names, Key(kServer1)), "FS1");
    EXPECT_EQ(names.Find(Key(kServer2)), nullptr);
  }
  {
    // The frame holds more than the IPX length (padding): entries past the length are not read.
    LearnedNames names;
    LearnSapEntries(names, payload.data(), payload.size(), uint16_t(30 + 2 + 64), mac);
    EXPECT_EQ(NameOf(names, Key(kServer1)), "FS1");
    EXPECT_EQ(names.Find(Key(kServer2)), nullptr);
  }
  {
    // The IPX length is shorter than its own header.
    LearnedNames names;
    LearnSapEntries(names, payload.data(), payload.size(), 12, mac);
    LearnSapEntries(names, payload.data(), payload.size(), 0, mac);
    LearnSapEntries(names, nullptr, 500, 1500, mac);
    EXPECT_EQ(names.Count(), 0u);
  }
  for (size_t n = 0; n < payload.size(); ++n) {  // every cut, read under the sanitizers
    std::vector<uint8_t> cut(payload.begin(), payload.begin() + long(n));
    LearnedNames names;
    LearnSapEntries(names, cut.data(), cut.size(), 0xFFFF, mac);
    EXPECT_EQ(names.Count(), n >= 66 ? (n >= 130 ? 3u : 2u) : 0u) << n;
  }
}

TEST(LearnSap, NameFieldWithoutZeroAndEmptyName) {
  LearnedNames names;
  AddressKey mac = Mac(0, 0, 0x1B, 9, 9, 9);
  std::string full(48, 'S');
  auto payload = SapResponse({{"", kServer1, 1}, {full, kServer2, 1}});
  LearnSapEntries(names, payload.data(), payload.size(), uint16_t(30 + payload.size()), mac);
  EXPECT_EQ(names.Find(Key(kServer1)), nullptr);
  EXPECT_EQ(NameOf(names, Key(kServer2)), std::string(41, 'S'));
  EXPECT_EQ(NameOf(names, mac), std::string(41, 'S'));
}

// ---------------------------------------------------------------- DNS

class DnsMessage {
 public:
  DnsMessage(uint16_t flags, uint16_t questions, uint16_t answers) {
    U16(0x1234);
    U16(flags);
    U16(questions);
    U16(answers);
    U16(0);
    U16(0);
  }
  size_t Name(std::string_view dotted) {  // uncompressed, returns its offset
    size_t at = b.size();
    while (!dotted.empty()) {
      size_t dot = dotted.find('.');
      std::string_view label = dotted.substr(0, dot);
      b.push_back(uint8_t(label.size()));
      b.insert(b.end(), label.begin(), label.end());
      dotted = dot == std::string_view::npos ? std::string_view{} : dotted.substr(dot + 1);
    }
    b.push_back(0);
    return at;
  }
  void Pointer(size_t offset) {
    b.push_back(uint8_t(0xC0 | (offset >> 8)));
    b.push_back(uint8_t(offset));
  }
  void Question(std::string_view dotted) {
    Name(dotted);
    U16(1);
    U16(1);
  }
  // Type, class IN, TTL, RDLENGTH and the data, after an owner name already written.
  void Record(uint16_t type, const std::vector<uint8_t>& data) {
    U16(type);
    U16(1);
    U16(0);
    U16(300);
    U16(uint16_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
  }
  void U16(uint16_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
  }
  std::vector<uint8_t> b;
};

TEST(LearnDns, AnswersOfTypeAWithCompressedNames) {
  DnsMessage m(0x8180, 1, 4);
  m.Question("www.example.com");
  // CNAME www.example.com -> cdn.example.net, written with its own labels.
  m.Pointer(12);
  size_t cnameData = m.b.size() + 10;
  DnsMessage target(0, 0, 0);
  target.b.clear();
  target.Name("cdn.example.net");
  m.Record(5, target.b);
  // A cdn.example.net 192.0.2.7 (pointer to the CNAME's data).
  m.Pointer(cnameData);
  m.Record(1, {192, 0, 2, 7});
  // AAAA for the question name: stepped over by its length.
  m.Pointer(12);
  m.Record(28, std::vector<uint8_t>(16, 0x20));
  // A www.example.com 192.0.2.8.
  m.Pointer(12);
  m.Record(1, {192, 0, 2, 8});
  LearnedNames names;
  LearnDnsAnswers(names, m.b.data(), m.b.size());
  EXPECT_EQ(NameOf(names, Ip(192, 0, 2, 7)), "cdn.example.net");
  EXPECT_EQ(NameOf(names, Ip(192, 0, 2, 8)), "www.example.com");
  EXPECT_EQ(names.Count(), 2u);
}

TEST(LearnDns, PointerChainAndInlineOwnerName) {
  DnsMessage m(0x8400, 1, 2);
  m.Question("example.org");
  // "mail" + pointer to the question: a name that ends in a pointer.
  size_t mail = m.b.size();
  m.b.push_back(4);
  m.b.insert(m.b.end(), {'m', 'a', 'i', 'l'});
  m.Pointer(12);
  m.Record(1, {198, 51, 100, 1});
  m.Pointer(mail);  // pointer to a name that itself ends in a pointer
  m.Record(1, {198, 51, 100, 2});
  LearnedNames names;
  LearnDnsAnswers(names, m.b.data(), m.b.size());
  EXPECT_EQ(NameOf(names, Ip(198, 51, 100, 1)), "mail.example.org");
  EXPECT_EQ(NameOf(names, Ip(198, 51, 100, 2)), "mail.example.org");
}

TEST(LearnDns, QueriesAndOtherTypesAddNothing) {
  for (uint16_t flags : {uint16_t(0x0100), uint16_t(0x8180)}) {
    DnsMessage m(flags, 1, 3);
    m.Question("host.test");
    m.Pointer(12);
    m.Record(0x0101, {0, 5, 'i', 's', 's', 'u', 'e'});  // low byte 1 but not an address record
    m.Pointer(12);
    m.Record(1, {10, 0, 0, 9, 9});  // address record of the wrong length
    m.Pointer(12);
    m.Record(1, {10, 0, 0, 1});
    LearnedNames names;
    LearnDnsAnswers(names, m.b.data(), m.b.size());
    if (flags & 0x8000) {
      EXPECT_EQ(names.Count(), 1u);
      EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 1)), "host.test");
    } else {
      EXPECT_EQ(names.Count(), 0u);
    }
  }
}

TEST(LearnDns, PointerLoopEndsAndLaterAnswersStillCount) {
  DnsMessage m(0x8180, 0, 5);
  m.Pointer(12);  // the first answer's name is a pointer to itself
  m.Record(1, {10, 1, 1, 1});
  m.Pointer(12);  // leads to the same loop
  m.Record(1, {10, 1, 1, 2});
  // A record of another type whose data holds two names pointing at each other.
  m.Pointer(12);
  size_t pair = m.b.size() + 10;
  m.Record(99, {uint8_t(0xC0 | ((pair + 2) >> 8)), uint8_t(pair + 2), uint8_t(0xC0 | (pair >> 8)), uint8_t(pair)});
  m.Pointer(pair);
  m.Record(1, {10, 1, 1, 3});
  m.Name("ok.test");  // a well-formed answer after the looping ones is still read
  m.Record(1, {10, 1, 1, 4});
  LearnedNames names;
  LearnDnsAnswers(names, m.b.data(), m.b.size());
  EXPECT_EQ(names.Find(Ip(10, 1, 1, 1)), nullptr);
  EXPECT_EQ(names.Find(Ip(10, 1, 1, 2)), nullptr);
  EXPECT_EQ(names.Find(Ip(10, 1, 1, 3)), nullptr);
  EXPECT_EQ(NameOf(names, Ip(10, 1, 1, 4)), "ok.test");
  EXPECT_EQ(names.Count(), 1u);
}

TEST(LearnDns, PointerPastTheMessage) {
  DnsMessage m(0x8180, 0, 2);
  m.Pointer(0x3FFF);
  m.Record(1, {10, 3, 3, 1});
  size_t end = m.b.size() + 2 + 10 + 4;
  m.Pointer(end);  // just past the last byte
  m.Record(1, {10, 3, 3, 2});
  ASSERT_EQ(m.b.size(), end);
  LearnedNames names;
  LearnDnsAnswers(names, m.b.data(), m.b.size());
  EXPECT_EQ(names.Count(), 0u);
}

TEST(LearnDns, TruncatedMessageReadsOnlyWhatIsThere) {
  DnsMessage m(0x8180, 1, 2);
  m.Question("a.b");
  m.Pointer(12);
  m.Record(1, {10, 4, 4, 1});
  size_t firstEnd = m.b.size();
  m.Pointer(12);
  m.Record(1, {10, 4, 4, 2});
  for (size_t n = 0; n <= m.b.size(); ++n) {
    std::vector<uint8_t> cut(m.b.begin(), m.b.begin() + long(n));  // exactly n bytes
    LearnedNames names;
    LearnDnsAnswers(names, cut.data(), cut.size());
    size_t expected = n == m.b.size() ? 2 : (n >= firstEnd ? 1 : 0);
    EXPECT_EQ(names.Count(), expected) << "length " << n;
  }
  LearnedNames names;
  LearnDnsAnswers(names, nullptr, 100);
  EXPECT_EQ(names.Count(), 0u);
}

TEST(LearnDns, BogusCountsAndLabels) {
  {
    DnsMessage m(0x8180, 0xFFFF, 0xFFFF);  // counts far beyond the message
    m.Question("x.y");
    LearnedNames names;
    LearnDnsAnswers(names, m.b.data(), m.b.size());
    EXPECT_EQ(names.Count(), 0u);
  }
  {
    DnsMessage m(0x8180, 0, 1);
    m.b.push_back(63);  // a label longer than what follows
    m.b.push_back('a');
    LearnedNames names;
    LearnDnsAnswers(names, m.b.data(), m.b.size());
    EXPECT_EQ(names.Count(), 0u);
  }
  {
    DnsMessage m(0x8180, 0, 1);
    m.b.push_back(0x40);  // a reserved label form
    m.b.push_back(0);
    m.Record(1, {10, 5, 5, 1});
    LearnedNames names;
    LearnDnsAnswers(names, m.b.data(), m.b.size());
    EXPECT_EQ(names.Count(), 0u);
  }
  {
    DnsMessage m(0x8180, 0, 1);
    m.Pointer(12 + 12);  // the RDLENGTH claims more than the message holds
    m.U16(1);
    m.U16(1);
    m.U16(0);
    m.U16(60);
    m.U16(400);
    m.b.insert(m.b.end(), {10, 5, 5, 2});
    LearnedNames names;
    LearnDnsAnswers(names, m.b.data(), m.b.size());
    EXPECT_EQ(names.Count(), 0u);
  }
}

TEST(LearnDns, LongNamesAreCutTo41) {
  DnsMessage m(0x8180, 0, 1);
  m.Name("abcdefghijklmnopqrstuvwxyz.abcdefghijklmnopqrstuvwxyz.example");
  m.Record(1, {10, 6, 6, 1});
  LearnedNames names;
  LearnDnsAnswers(names, m.b.data(), m.b.size());
  EXPECT_EQ(NameOf(names, Ip(10, 6, 6, 1)), "abcdefghijklmnopqrstuvwxyz.abcdefghijklmn");
}

// Random bytes through every learner: under the sanitizers any read outside the buffer
// or endless loop shows.
TEST(LearnNames, RandomBytesStayInside) {
  std::mt19937 random(20240601);
  LearnedNames names;
  AddressKey mac = Mac(0, 0, 0, 0, 0, 1);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> b(random() % 600);
    for (uint8_t& x : b) x = uint8_t(random());
    if (b.size() > 7 && round % 2 == 0) {
      b[2] |= 0x80;
      b[4] = 0;
      b[5] = uint8_t(random() % 4);
      b[6] = 0;
      b[7] = uint8_t(random() % 8);
    }
    LearnDnsAnswers(names, b.data(), b.size());
    LearnSapEntries(names, b.data(), b.size(), uint16_t(random()), mac);
    LearnNetBiosLlc(names, b.data(), b.size(), mac);
    LearnNetBiosIpx(names, b.data(), b.size(), mac);
    ImportObserverTableBytes(names, b.data(), b.size());
  }
  for (const auto& [key, name] : names.All()) EXPECT_LE(name.size(), kMaxLearnedName);
}

// ---------------------------------------------------------------- address texts

TEST(NamesText, MacAddressTexts) {
  EXPECT_EQ(MacKeyFromText("0-0-c-12-34-56"), Mac(0x00, 0x00, 0x0C, 0x12, 0x34, 0x56));
  EXPECT_EQ(MacKeyFromText("00:00:0c:12:34:56"), Mac(0x00, 0x00, 0x0C, 0x12, 0x34, 0x56));
  EXPECT_EQ(MacKeyFromText("08-00-2B-01-02-3"), Mac(0x08, 0x00, 0x2B, 0x01, 0x02, 0x03));
  EXPECT_EQ(MacKeyFromText("00000c123456"), Mac(0x00, 0x00, 0x0C, 0x12, 0x34, 0x56));
  EXPECT_EQ(MacKeyFromText(" AA:BB:CC:DD:EE:FF "), Mac(0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF));
  EXPECT_EQ(MacKeyFromText("0:0:0:0:0:0")->length, 6);
  for (std::string_view bad : {"", "00:00:0c:12:34", "00:00:0c:12:34:56:78", "00::0c:12:34:56", "000:0:0c:12:34:56",
                               "00:00:0g:12:34:56", "00000c12345", "00000c1234567", "0000.0c12.3456",
                               "00:00:0c:12:34:*"})
    EXPECT_FALSE(MacKeyFromText(bad).has_value()) << bad;
}

TEST(NamesText, IpAddressTexts) {
  EXPECT_EQ(IpKeyFromDottedText("10.0.0.1"), Ip(10, 0, 0, 1));
  EXPECT_EQ(IpKeyFromDottedText("255.255.255.255"), Ip(255, 255, 255, 255));
  EXPECT_EQ(IpKeyFromDottedText(" 192.168.001.010 "), Ip(192, 168, 1, 10));
  for (std::string_view bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.", "a.b.c.d", "1.2.3.4x",
                               "1234.1.1.1", "-1.2.3.4"})
    EXPECT_FALSE(IpKeyFromDottedText(bad).has_value()) << bad;
}

// ---------------------------------------------------------------- name files

TEST(NamesFiles, NamesNamTaggedText) {
  TempFolder folder;
  std::string path = folder.Write("names.nam",
                                  "<?xml version=\"1.0\"?>\r\n"
                                  "<names>\r\n"
                                  "  <Entry Class=\"Address\">\r\n"
                                  "    <Name>Router One</Name>\r\n"
                                  "    <Address Type=\"Ethernet\">0-0-c-12-34-56</Address>\r\n"
                                  "  </Entry>\r\n"
                                  "  <entry class=\"address\">\n"
                                  "    <address type=\"ip\">192.168.1.20</address>\n"
                                  "    <name>Mail server</name>\n"
                                  "  </entry>\n"
                                  "  <entry class=\"address\">\n"
                                  "    <name>Ring station</name>\n"
                                  "    <address type=\"tokenring\">10:00:5A:01:02:03</address>\n"
                                  "  </entry>\n"
                                  "  <entry class=\"address\">\n"
                                  "    <name>Wildcard</name>\n"
                                  "    <address type=\"ethernet\">00:00:0C:*</address>\n"
                                  "  </entry>\n"
                                  "  <entry class=\"protocol\">\n"
                                  "    <name>Not an address</name>\n"
                                  "    <address type=\"ip\">192.168.1.21</address>\n"
                                  "  </entry>\n"
                                  "  <address type=\"ip\">192.168.1.22</address>\n"
                                  "  <entry class=\"address\">\n"
                                  "    <name>A name of more than forty-one characters in all</name>\n"
                                  "    <address type=\"ip\">192.168.1.23</address>\n"
                                  "  </entry>\n"
                                  "  <entry class=\"address\">\n"
                                  "    <name>Unknown kind</name>\n"
                                  "    <address type=\"appletalk\">1.2.3.4</address>\n"
                                  "  </entry>\n"
                                  "  <entry class=\"address\">\n"
                                  "    <name>Second name</name>\n"
                                  "    <address type=\"ethernet\">00:00:0C:12:34:56</address>\n"
                                  "  </entry>\n"
                                  "</names>\n");
  LearnedNames names;
  ASSERT_TRUE(ImportNamesNamFile(names, path));
  EXPECT_EQ(NameOf(names, Mac(0x00, 0x00, 0x0C, 0x12, 0x34, 0x56)), "Router One");
  EXPECT_EQ(NameOf(names, Ip(192, 168, 1, 20)), "Mail server");
  EXPECT_EQ(NameOf(names, Mac(0x10, 0x00, 0x5A, 0x01, 0x02, 0x03)), "Ring station");
  EXPECT_EQ(names.Find(Ip(192, 168, 1, 21)), nullptr);
  EXPECT_EQ(names.Find(Ip(192, 168, 1, 22)), nullptr);
  EXPECT_EQ(NameOf(names, Ip(192, 168, 1, 23)), "A name of more than forty-one characters ");
  EXPECT_EQ(names.Find(Ip(1, 2, 3, 4)), nullptr);
  EXPECT_EQ(names.Count(), 4u);
  EXPECT_FALSE(ImportNamesNamFile(names, folder.Path() + "/missing.nam"));
  EXPECT_FALSE(ImportNamesNamFile(names, folder.Path()));  // a folder is no file
}

TEST(NamesFiles, TabSeparatedNames) {
  TempFolder folder;
  std::string path = folder.Write("ep.nam",
                                  "Gateway\tEthernet\t0-0-c-12-34-56\tgroup\textra\r\n"
                                  "Printer\tIP\t10.0.0.5\n"
                                  "Ring host\ttokenring\t10:00:5a:aa:bb:cc\n"
                                  "Mac box\tAppleTalk\t65280.1\n"
                                  "Wild\tethernet\t00:00:0c:*\n"
                                  "Missing address\tip\n"
                                  "no tabs at all\n"
                                  "\n"
                                  "Bad ip\tip\t10.0.0.300\n"
                                  "Gateway again\tethernet\t00000C123456\n"
                                  "Host\tIPX ip\t10.0.0.6\n");
  LearnedNames names;
  ASSERT_TRUE(ImportTabNamesFile(names, path));
  EXPECT_EQ(NameOf(names, Mac(0x00, 0x00, 0x0C, 0x12, 0x34, 0x56)), "Gateway");
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 5)), "Printer");
  EXPECT_EQ(NameOf(names, Mac(0x10, 0x00, 0x5A, 0xAA, 0xBB, 0xCC)), "Ring host");
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 6)), "Host");
  EXPECT_EQ(names.Count(), 4u);
}

std::vector<uint8_t> ObserverRecord(const std::vector<uint8_t>& mac, std::string_view name,
                                    const std::vector<uint8_t>& ip) {
  std::vector<uint8_t> r(80, 0xEE);
  std::copy(mac.begin(), mac.end(), r.begin() + 4);
  std::fill(r.begin() + 10, r.begin() + 28, 0);
  Put(r, 10, name);
  std::copy(ip.begin(), ip.end(), r.begin() + 28);
  return r;
}

TEST(NamesFiles, ObserverLocalAddressTable) {
  std::vector<uint8_t> table;
  auto add = [&](const std::vector<uint8_t>& r) { table.insert(table.end(), r.begin(), r.end()); };
  add(ObserverRecord({0, 0, 0x0C, 1, 1, 1}, "Server", {10, 0, 0, 1}));
  add(ObserverRecord({0, 0, 0x0C, 2, 2, 2}, "", {10, 0, 0, 2}));
  add(ObserverRecord({0, 0, 0x0C, 3, 3, 3}, "No IP", {0, 0, 0, 0}));
  add(ObserverRecord({0, 0, 0x0C, 4, 4, 4}, "EighteenCharacters", {10, 0, 0, 4}));
  std::vector<uint8_t> partial = ObserverRecord({0, 0, 0x0C, 5, 5, 5}, "Partial", {10, 0, 0, 5});
  table.insert(table.end(), partial.begin(), partial.begin() + 79);
  TempFolder folder;
  std::string path = folder.Write("Default.adr", std::string(table.begin(), table.end()));
  LearnedNames names;
  ASSERT_TRUE(ImportObserverTableFile(names, path));
  EXPECT_EQ(NameOf(names, Mac(0, 0, 0x0C, 1, 1, 1)), "Server");
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 1)), "Server");
  EXPECT_EQ(names.Find(Mac(0, 0, 0x0C, 2, 2, 2)), nullptr);
  EXPECT_EQ(names.Find(Ip(10, 0, 0, 2)), nullptr);
  EXPECT_EQ(NameOf(names, Mac(0, 0, 0x0C, 3, 3, 3)), "No IP");
  EXPECT_EQ(names.Find(Ip(0, 0, 0, 0)), nullptr);
  EXPECT_EQ(NameOf(names, Mac(0, 0, 0x0C, 4, 4, 4)), "EighteenCharacters");
  EXPECT_EQ(NameOf(names, Ip(10, 0, 0, 4)), "EighteenCharacters");
  EXPECT_EQ(names.Find(Mac(0, 0, 0x0C, 5, 5, 5)), nullptr);
  EXPECT_EQ(names.Count(), 5u);
}

TEST(NamesFiles, ImportNameFilesByFormat) {
  TempFolder folder;
  NameFileLocations where = NameFileLocations::Under(folder.Path());
  folder.Write("AG Group/EtherPeek/4.0/names.nam",
               "<entry class=\"address\">\n<name>From names.nam</name>\n"
               "<address type=\"ethernet\">00:00:0C:00:00:01</address>\n</entry>\n");
  folder.Write("Config/ep.nam", "From ep.nam\tEthernet\t00:00:0C:00:00:01\nOnly in ep.nam\tIP\t10.9.9.9\n");
  folder.Write("AG Group/TokenPeek/4.0/names.nam",
               "<entry class=\"address\">\n<name>Token names</name>\n"
               "<address type=\"tokenring\">10:00:5A:00:00:01</address>\n</entry>\n");
  folder.Write("Config/tp.nam", "Token config\ttokenring\t10:00:5A:00:00:02\n");
  auto observer = ObserverRecord({0, 0, 0x0C, 7, 7, 7}, "Observed", {0, 0, 0, 0});
  folder.Write("Observer Files/LocalAddressTable/Default.adr", std::string(observer.begin(), observer.end()));

  LearnedNames ether;
  ImportNameFiles(ether, fmt_id::EtherPeek, topology::Ethernet, where);
  EXPECT_EQ(NameOf(ether, Mac(0, 0, 0x0C, 0, 0, 1)), "From names.nam");  // the first file wins
  EXPECT_EQ(NameOf(ether, Ip(10, 9, 9, 9)), "Only in ep.nam");
  EXPECT_EQ(ether.Count(), 2u);

  LearnedNames token;
  ImportNameFiles(token, fmt_id::EtherPeek, topology::TokenRing, where);
  EXPECT_EQ(NameOf(token, Mac(0x10, 0, 0x5A, 0, 0, 1)), "Token names");
  EXPECT_EQ(NameOf(token, Mac(0x10, 0, 0x5A, 0, 0, 2)), "Token config");
  EXPECT_EQ(token.Count(), 2u);

  LearnedNames observed;
  ImportNameFiles(observed, fmt_id::Observer, topology::Ethernet, where);
  EXPECT_EQ(NameOf(observed, Mac(0, 0, 0x0C, 7, 7, 7)), "Observed");
  EXPECT_EQ(observed.Count(), 1u);

  LearnedNames other;
  ImportNameFiles(other, fmt_id::SnifferDos, topology::Ethernet, where);
  EXPECT_EQ(other.Count(), 0u);

  LearnedNames none;  // nothing there: skipped without complaint
  ImportNameFiles(none, fmt_id::EtherPeek, topology::Ethernet, NameFileLocations::Under(folder.Path() + "/empty"));
  ImportNameFiles(none, fmt_id::Observer, topology::Ethernet, NameFileLocations{});
  EXPECT_EQ(none.Count(), 0u);
}

// Sets an environment variable for the scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = std::string(old);
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(NamesFiles, DefaultLocationsUnderTheXdgDataFolder) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
    ScopedEnv home("HOME", "/home/someone");
    NameFileLocations where = NameFileLocations::Default();
    EXPECT_EQ(where.etherPeekNames, "/srv/data/Korvane/names/AG Group/EtherPeek/4.0/names.nam");
    EXPECT_EQ(where.tokenPeekNames, "/srv/data/Korvane/names/AG Group/TokenPeek/4.0/names.nam");
    EXPECT_EQ(where.etherPeekConfig, "/srv/data/Korvane/names/Config/ep.nam");
    EXPECT_EQ(where.tokenPeekConfig, "/srv/data/Korvane/names/Config/tp.nam");
    EXPECT_EQ(where.observerAddresses, "/srv/data/Korvane/names/Observer Files/LocalAddressTable/Default.adr");
  }
  for (const char* xdgValue : {static_cast<const char*>(nullptr), "", "relative/path"}) {
    ScopedEnv xdg("XDG_DATA_HOME", xdgValue);
    ScopedEnv home("HOME", "/home/someone/");
    EXPECT_EQ(NameFileLocations::Default().tokenPeekConfig, "/home/someone/.local/share/Korvane/names/Config/tp.nam");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    NameFileLocations where = NameFileLocations::Default();
    EXPECT_TRUE(where.etherPeekNames.empty());
    EXPECT_TRUE(where.observerAddresses.empty());
  }
}

}  // namespace
}  // namespace korvane
