// The settings store over QSettings: text as strings, raw values as byte arrays, sections
// as nested groups, and the file korvane-cli reads back.
#include <QSettings>

#include "UiTestSupport.h"
#include "app/QSettingsStore.h"
#include "settings/IniFileStore.h"

namespace korvane::uitest {
namespace {

TEST(QSettingsStoreTest, TextRawBytesAndSections) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Korvane.conf"));
  const std::string raw("\x58\x02\0\0\xff", 5);
  {
    QSettings settings(file, QSettings::IniFormat);
    QSettingsStore store(settings);
    EXPECT_EQ(store.Value("Recent Files", "0"), std::nullopt);
    store.SetValue("Recent Files", "0", "/home/u/Caf\xC3\xA9, trace.enc");
    store.SetValue("4.03a/Display", "MainForm", raw);
    store.SetValue("4.03a/Display", "Other", "x");
    store.SetValue("Server Ports", "0", "8080\tProxy");
    EXPECT_EQ(settings.value(QStringLiteral("4.03a/Display/MainForm")).typeId(), QMetaType::QByteArray);
    EXPECT_EQ(settings.value(QStringLiteral("Recent Files/0")).typeId(), QMetaType::QString);
    EXPECT_EQ(store.Value("4.03a/Display", "MainForm"), raw);
    EXPECT_EQ(store.Value("Recent Files", "0"), "/home/u/Caf\xC3\xA9, trace.enc");
  }
  // korvane-cli reads the same values from the file.
  IniFileStore ini;
  ASSERT_TRUE(ini.Load(file.toStdString()));
  EXPECT_EQ(ini.Value("4.03a/Display", "MainForm"), raw);
  EXPECT_EQ(ini.Value("Recent Files", "0"), "/home/u/Caf\xC3\xA9, trace.enc");
  EXPECT_EQ(ini.Value("Server Ports", "0"), "8080\tProxy");

  QSettings settings(file, QSettings::IniFormat);
  QSettingsStore store(settings);
  EXPECT_EQ(store.Value("Server Ports", "0"), "8080\tProxy");
  store.ClearSection("4.03a");
  EXPECT_EQ(store.Value("4.03a/Display", "MainForm"), std::nullopt);
  EXPECT_EQ(store.Value("4.03a/Display", "Other"), std::nullopt);
  EXPECT_EQ(store.Value("Server Ports", "0"), "8080\tProxy");
}

TEST(QSettingsStoreTest, AnUnquotedListInAHandWrittenFileReadsAsItsText) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Korvane.conf"));
  WriteFile(file, QByteArray("[Server%20Ports]\n0=1521\\tOracle, Listener\n"));
  QSettings settings(file, QSettings::IniFormat);
  QSettingsStore store(settings);
  EXPECT_EQ(store.Value("Server Ports", "0"), "1521\tOracle, Listener");
}

}  // namespace
}  // namespace korvane::uitest
