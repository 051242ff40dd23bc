// Reading stored numbers and booleans, and the user-defined server port list.
#include <gtest/gtest.h>

#include "settings/IniFileStore.h"
#include "settings/KeyValueStore.h"
#include "settings/ServerPortSettings.h"

namespace korvane {
namespace {

TEST(StoredValuesTest, IntegersAreWholeDecimalTextWithinRange) {
  MemoryStore store;
  auto read = [&](const std::string& text, long long minimum = -1000, long long maximum = 1000) {
    store.SetValue("S", "n", text);
    return StoredInteger(store, "S", "n", minimum, maximum);
  };
  EXPECT_EQ(read("250"), 250);
  EXPECT_EQ(read("-17"), -17);
  EXPECT_EQ(read("1000"), 1000);
  EXPECT_EQ(read("-1000"), -1000);
  EXPECT_EQ(read("1001"), std::nullopt);
  EXPECT_EQ(read("-1001"), std::nullopt);
  for (const char* bad : {"", " 5", "5 ", "+5", "5x", "0x10", "1e2", "2.5", "true", "-", "99999999999999999999"})
    EXPECT_EQ(read(bad), std::nullopt) << '"' << bad << '"';
  EXPECT_EQ(read("9223372036854775807", 0, std::numeric_limits<long long>::max()), std::numeric_limits<long long>::max());
  EXPECT_EQ(StoredInteger(store, "S", "missing", 0, 10), std::nullopt);
  EXPECT_EQ(StoredInteger(store, "Other", "n", -1000, 1000), std::nullopt);
}

TEST(StoredValuesTest, BooleansInBothForms) {
  MemoryStore store;
  auto read = [&](const std::string& text) {
    store.SetValue("S", "b", text);
    return StoredBool(store, "S", "b");
  };
  EXPECT_EQ(read("1"), true);
  EXPECT_EQ(read("true"), true);
  EXPECT_EQ(read("True"), true);
  EXPECT_EQ(read("0"), false);
  EXPECT_EQ(read("false"), false);
  EXPECT_EQ(read("FALSE"), false);
  for (const char* bad : {"", "2", "-1", "yes", "truex", " 1", "01"}) EXPECT_EQ(read(bad), std::nullopt) << bad;
  EXPECT_EQ(StoredBool(store, "S", "missing"), std::nullopt);

  StoreBool(store, "S", "b", true);
  EXPECT_EQ(store.Value("S", "b"), "1");
  StoreBool(store, "S", "b", false);
  EXPECT_EQ(store.Value("S", "b"), "0");
  StoreInteger(store, "S", "n", -42);
  EXPECT_EQ(store.Value("S", "n"), "-42");
}

TEST(MemoryStoreTest, ClearSectionRemovesOnlyThatSection) {
  MemoryStore store;
  store.SetValue("A", "1", "x");
  store.SetValue("A", "2", "y");
  store.SetValue("AB", "1", "z");
  store.ClearSection("A");
  EXPECT_EQ(store.Value("A", "1"), std::nullopt);
  EXPECT_EQ(store.Value("A", "2"), std::nullopt);
  EXPECT_EQ(store.Value("AB", "1"), "z");
}

TEST(ServerPortSettingsTest, ListRoundTripsThroughTheSettingsFile) {
  ServerPortSettings ports;
  ports.Entries = {"1000\tAlpha", "21\tMy FTP, \"quoted\"", "8080\tProxy", "no tab at all"};
  IniFileStore store;
  ports.Save(store);
  EXPECT_EQ(store.Text(),
            "[Server%20Ports]\n0=1000\\tAlpha\n1=\"21\\tMy FTP, \\\"quoted\\\"\"\n2=8080\\tProxy\n3=no tab at all\n");

  IniFileStore reread;
  reread.Parse(store.Text());
  ServerPortSettings loaded;
  loaded.Load(reread);
  EXPECT_EQ(loaded, ports);

  // Saving a shorter list leaves nothing of the longer one behind.
  ports.Entries = {"8080\tProxy"};
  ports.Save(store);
  loaded.Load(store);
  EXPECT_EQ(loaded.Entries, ports.Entries);
  EXPECT_EQ(store.Value(kServerPortsSection, "1"), std::nullopt);

  // An empty list leaves an empty section.
  ports.Entries.clear();
  ports.Save(store);
  loaded.Load(store);
  EXPECT_TRUE(loaded.Entries.empty());
  EXPECT_EQ(store.Text(), "");
}

TEST(ServerPortSettingsTest, ListEndsAtTheFirstMissingOrEmptyNumber) {
  MemoryStore store;
  store.SetValue(kServerPortsSection, "0", "8080\tProxy");
  store.SetValue(kServerPortsSection, "1", "1521\tOracle");
  store.SetValue(kServerPortsSection, "3", "7000\tAfter the gap");
  ServerPortSettings ports;
  ports.Load(store);
  EXPECT_EQ(ports.Entries, (std::vector<std::string>{"8080\tProxy", "1521\tOracle"}));

  store.SetValue(kServerPortsSection, "1", "");
  store.SetValue(kServerPortsSection, "2", "9000\tBeyond the empty one");
  ports.Load(store);
  EXPECT_EQ(ports.Entries, std::vector<std::string>{"8080\tProxy"});

  MemoryStore noZero;
  noZero.SetValue(kServerPortsSection, "1", "8080\tProxy");
  ports.Load(noZero);
  EXPECT_TRUE(ports.Entries.empty());
}

TEST(ServerPortSettingsTest, EntryTexts) {
  const std::string entry = ServerPortSettings::Entry("8080", "Web\tCache");
  EXPECT_EQ(entry, "8080\tWeb\tCache");
  EXPECT_EQ(ServerPortSettings::EntryPort(entry), "8080");
  EXPECT_EQ(ServerPortSettings::EntryName(entry), "Web\tCache");
  EXPECT_EQ(ServerPortSettings::EntryPort("no tab"), "no tab");
  EXPECT_EQ(ServerPortSettings::EntryName("no tab"), "");
}

}  // namespace
}  // namespace korvane
