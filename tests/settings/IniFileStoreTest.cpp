// The INI settings file shared with the desktop program's QSettings: reading what QSettings
// writes, writing what it reads, and round trips of awkward values.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "settings/IniFileStore.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// A file as QSettings 6 writes it for these values (sections and keys in its order).
constexpr std::string_view kQSettingsText =
    "[General]\n"
    "top=t\n"
    "\n"
    "[4.03a]\n"
    "Display\\MainForm=x\n"
    "\n"
    "[Awkward%20Section]\n"
    "at=@@home\n"
    "backslash=C:\\\\dir\\\\file\n"
    "bytes=\"@ByteArray(\\0\\x1\\xff A;7)\"\n"
    "ctrlhex=\\x1\\x61\\x62\\x63\n"
    "empty=\n"
    "equals=\"a=b;c,d\"\n"
    "newline=line1\\nline2\\r\n"
    "nonascii=Caf\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80\n"
    "padded=\" padded \"\n"
    "quotes=say \\\"hi\\\"\n"
    "tab=a\\tb\n"
    "\n"
    "[%General]\n"
    "x=1\n"
    "\n"
    "[Gr%F6%DFe]\n"
    "Schl%FCssel%20%U20AC=v\n"
    "\n"
    "[Problem%20Finder]\n"
    "EnableTCPSlowAck=true\n"
    "ThresholdTCPSlowAck=250\n"
    "\n"
    "[Server%20Ports]\n"
    "0=8080\\tProxy\n"
    "1=\"1521\\tOracle, Listener\"\n";

struct Entry {
  std::string section, name, value;
};

const std::vector<Entry>& QSettingsValues() {
  static const std::vector<Entry> values = {
      {"", "top", "t"},
      {"4.03a/Display", "MainForm", "x"},
      {"Awkward Section", "at", "@home"},
      {"Awkward Section", "backslash", "C:\\dir\\file"},
      {"Awkward Section", "bytes", std::string("\x00\x01\xff A;7", 7)},
      {"Awkward Section", "ctrlhex", "\x01" "abc"},
      {"Awkward Section", "empty", ""},
      {"Awkward Section", "equals", "a=b;c,d"},
      {"Awkward Section", "newline", "line1\nline2\r"},
      {"Awkward Section", "nonascii", "Caf\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80"},
      {"Awkward Section", "padded", " padded "},
      {"Awkward Section", "quotes", "say \"hi\""},
      {"Awkward Section", "tab", "a\tb"},
      {"General", "x", "1"},
      {"Gr\xC3\xB6\xC3\x9F" "e", "Schl\xC3\xBC" "ssel \xE2\x82\xAC", "v"},
      {"Problem Finder", "EnableTCPSlowAck", "true"},
      {"Problem Finder", "ThresholdTCPSlowAck", "250"},
      {"Server Ports", "0", "8080\tProxy"},
      {"Server Ports", "1", "1521\tOracle, Listener"},
  };
  return values;
}

class IniFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir_ = fs::temp_directory_path() /
           ("korvane_ini_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteText(const std::string& name, std::string_view text) const {
    std::ofstream(PathOf(name), std::ios::binary) << text;
    return PathOf(name);
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(IniFileStoreTest, ReadsTheFileQSettingsWrites) {
  IniFileStore store;
  ASSERT_TRUE(store.Load(WriteText("Korvane.conf", kQSettingsText)));
  for (const Entry& e : QSettingsValues()) {
    EXPECT_EQ(store.Value(e.section, e.name), e.value) << e.section << " / " << e.name;
  }
  // "[General]" holds the values outside any section; "[%General]" is a section of that name.
  EXPECT_EQ(store.Value("General", "top"), std::nullopt);
  EXPECT_EQ(store.Value("", "x"), std::nullopt);
  // The nested path reads the same whichever part is called the section.
  EXPECT_EQ(store.Value("4.03a", "Display/MainForm"), "x");
}

TEST_F(IniFileStoreTest, WritesTheTextQSettingsWrites) {
  IniFileStore store;
  // Given in another order: the text comes out in the same, stable order.
  const auto& values = QSettingsValues();
  for (auto it = values.rbegin(); it != values.rend(); ++it) store.SetValue(it->section, it->name, it->value);
  EXPECT_EQ(store.Text(), kQSettingsText);
}

TEST_F(IniFileStoreTest, SaveThenLoadGivesTheSameAwkwardValues) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += char(b);
  const std::vector<Entry> values = {
      {"Section With Space", "tab", "\tport\t8080\t"},
      {"Section With Space", "quotes", "\"quoted\" and \"\""},
      {"Section With Space", "backslashes", "\\\\server\\share\\"},
      {"Section With Space", "non-ASCII", "\xC3\x85" "ngstr\xC3\xB6m \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xA1"},
      {"Section With Space", "equals", "=a=b=="},
      {"Section With Space", "comment marks", "; not a comment # nor this"},
      {"Section With Space", "blanks", "  both ends  "},
      {"Section With Space", "hex after escape", "\x01" "0\x1F" "f"},
      {"Section With Space", "at signs", "@@@"},
      {"Section With Space", "looks raw", "@ByteArray(text)"},
      {"Section With Space", "nul", std::string("a\0" "7", 3)},
      {"Section With Space", "every byte", everyByte},
      {"Section With Space", "not UTF-8", "\xC3(\xFF"},
      {"Section With Space", "key = with [odd] chars; %20", "v"},
      {"Gr\xC3\xBC\xC3\x9F" "e [x]", "\xE2\x82\xAC", "euro"},
      {"general", "k", "lower-case section of that name"},
      {"", "top", "outside any section"},
      {"Visualizer", "Font", std::string("\x00\x00\x00\x00\x00" "Arial\0\0", 12)},
  };
  IniFileStore store;
  for (const Entry& e : values) store.SetValue(e.section, e.name, e.value);
  const std::string path = PathOf("new folder/deeper/Korvane.conf");
  ASSERT_TRUE(store.Save(path));

  IniFileStore loaded;
  ASSERT_TRUE(loaded.Load(path));
  for (const Entry& e : values) EXPECT_EQ(loaded.Value(e.section, e.name), e.value) << e.name;
  EXPECT_EQ(loaded.Text(), store.Text());
  EXPECT_EQ(ReadText(path), store.Text());
}

TEST_F(IniFileStoreTest, ReadsHandWrittenFiles) {
  IniFileStore store;
  store.Parse(
      "\xEF\xBB\xBF; a comment line\r\n"
      "# another\r\n"
      "[ Server Ports ]\r\n"
      "  0 = 8080\tWeb Cache   \r\n"
      "1=\"1031\tClient Side\"  ; and a comment\r\n"
      "2=\"a;b\" tail\r\n"
      "3=unknown \\q escape\r\n"
      "no equals sign here\r\n"
      "4=\\x263a\\101\r\n"
      "5=\\xd83d\\xde00\r\n"
      "[Server Ports]\r\n"
      "6=same section again\r\n"
      "[unterminated\r\n"
      "k=v\r\n");
  EXPECT_EQ(store.Value("Server Ports", "0"), "8080\tWeb Cache");
  EXPECT_EQ(store.Value("Server Ports", "1"), "1031\tClient Side");
  EXPECT_EQ(store.Value("Server Ports", "2"), "a;btail");  // blanks after quotes dropped
  EXPECT_EQ(store.Value("Server Ports", "3"), "unknown  escape");
  EXPECT_EQ(store.Value("Server Ports", "4"), "\xE2\x98\xBA" "A");
  EXPECT_EQ(store.Value("Server Ports", "5"), "\xF0\x9F\x98\x80");  // a surrogate pair
  EXPECT_EQ(store.Value("Server Ports", "6"), "same section again");
  EXPECT_EQ(store.Value("Server Ports", "no equals sign here"), std::nullopt);
  EXPECT_EQ(store.Value("unterminated", "k"), "v");
}

TEST_F(IniFileStoreTest, MissingOrUnreadableFilesLoadEmpty) {
  IniFileStore store;
  store.SetValue("Server Ports", "0", "8080\tProxy");
  EXPECT_FALSE(store.Load(PathOf("none.conf")));
  EXPECT_EQ(store.Value("Server Ports", "0"), std::nullopt);
  EXPECT_EQ(store.Text(), "");

  store.SetValue("Server Ports", "0", "8080\tProxy");
  EXPECT_FALSE(store.Load(dir_.string()));  // a folder
  EXPECT_EQ(store.Text(), "");
  EXPECT_FALSE(store.Load(""));

  // An empty file is read, and holds nothing.
  EXPECT_TRUE(store.Load(WriteText("empty.conf", "")));
  EXPECT_EQ(store.Text(), "");
}

TEST_F(IniFileStoreTest, SaveReportsFailureAndKeepsTheOldFile) {
  IniFileStore store;
  store.SetValue("A", "k", "v");
  EXPECT_FALSE(store.Save(dir_.string()));                       // a folder is in the way
  EXPECT_FALSE(store.Save(WriteText("plain", "x") + "/a.conf"));  // a file where a folder should be
  EXPECT_FALSE(store.Save(""));

  const std::string path = WriteText("Korvane.conf", "[A]\nk=old\n");
  fs::create_directory(path + ".new");  // the temporary file cannot be made
  EXPECT_FALSE(store.Save(path));
  EXPECT_EQ(ReadText(path), "[A]\nk=old\n");
  fs::remove(path + ".new");
  EXPECT_TRUE(store.Save(path));
  EXPECT_EQ(ReadText(path), "[A]\nk=v\n");
  EXPECT_FALSE(fs::exists(path + ".new"));
}

TEST_F(IniFileStoreTest, ClearSectionTakesSectionsBelowAlong) {
  IniFileStore store;
  store.SetValue("4.03a/Display", "MainForm", "1");
  store.SetValue("4.03a/Display/Sub", "k", "2");
  store.SetValue("4.03a/DisplayOther", "k", "3");
  store.SetValue("4.03a", "Version", "4");
  store.SetValue("Server Ports", "0", "5");
  store.SetValue("Server Ports2", "0", "6");

  store.ClearSection("4.03a/Display");
  EXPECT_EQ(store.Value("4.03a/Display", "MainForm"), std::nullopt);
  EXPECT_EQ(store.Value("4.03a/Display/Sub", "k"), std::nullopt);
  EXPECT_EQ(store.Value("4.03a/DisplayOther", "k"), "3");
  EXPECT_EQ(store.Value("4.03a", "Version"), "4");

  store.ClearSection("Server Ports");
  EXPECT_EQ(store.Value("Server Ports", "0"), std::nullopt);
  EXPECT_EQ(store.Value("Server Ports2", "0"), "6");
  EXPECT_EQ(store.Text(), "[4.03a]\nDisplayOther\\k=3\nVersion=4\n\n[Server%20Ports2]\n0=6\n");
}

// Sets environment variables for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name);
      saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
      if (value) ::setenv(name, value, 1); else ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1); else ::unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(IniFileStoreTest, DefaultSettingsFileFollowsTheConfigFolder) {
  {
    ScopedEnvironment env({{"XDG_CONFIG_HOME", "/xdg/config"}, {"HOME", "/home/user"}});
    EXPECT_EQ(DefaultSettingsFile(), "/xdg/config/Zum4 Group/Korvane.conf");
  }
  {
    ScopedEnvironment env({{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/user"}});
    EXPECT_EQ(DefaultSettingsFile(), "/home/user/.config/Zum4 Group/Korvane.conf");
  }
  {
    ScopedEnvironment env({{"XDG_CONFIG_HOME", "relative/path"}, {"HOME", "/home/user"}});
    EXPECT_EQ(DefaultSettingsFile(), "/home/user/.config/Zum4 Group/Korvane.conf");
  }
  {
    ScopedEnvironment env({{"XDG_CONFIG_HOME", nullptr}, {"HOME", nullptr}});
    EXPECT_EQ(DefaultSettingsFile(), "");
    IniFileStore store;
    EXPECT_FALSE(LoadSettingsFile("", store));
  }

  fs::create_directories(dir_ / "Zum4 Group");
  WriteText("Zum4 Group/Korvane.conf", "[Problem%20Finder]\nThresholdTCPSlowAck=300\n");
  const std::string other = WriteText("other.conf", "[Problem Finder]\nThresholdTCPSlowAck=400\n");
  ScopedEnvironment env({{"XDG_CONFIG_HOME", dir_.c_str()}});
  IniFileStore store;
  EXPECT_TRUE(LoadSettingsFile("", store));
  EXPECT_EQ(store.Value("Problem Finder", "ThresholdTCPSlowAck"), "300");
  EXPECT_TRUE(LoadSettingsFile(other, store));
  EXPECT_EQ(store.Value("Problem Finder", "ThresholdTCPSlowAck"), "400");
}

}  // namespace
}  // namespace korvane
