// What the GUI tests share: trace files written for them, pictures of the windows saved
// for a person to look at, and a main window whose message boxes and dialogs the test
// answers.
#pragma once
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scenario/Scenario.h"
#include "settings/KeyValueStore.h"
#include "ui/controls/MessageSink.h"
#include "ui/main/MainForm.h"
#include "writers/ScenarioWriters.h"

namespace korvane::uitest {

inline QString DemoTrace() { return QStringLiteral(KORVANE_DEMO_TRACE); }

// Saves a picture of the widget as <build>/ui-shots/<name>.png.
inline void SaveShot(QWidget& widget, const QString& name) {
  QDir().mkpath(QStringLiteral(KORVANE_UI_SHOTS));
  const QString path = QStringLiteral(KORVANE_UI_SHOTS "/") + name + QStringLiteral(".png");
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

// A scenario written in one of korvane-mktrace's formats into the folder.
inline QString WriteScenario(const QTemporaryDir& dir, const QString& baseName,
                             const std::vector<tools::ScenarioFrame>& frames, const std::string& format,
                             bool tokenRing) {
  const tools::Bytes bytes = tools::ScenarioWriters().at(format)(frames, tokenRing);
  const QString path = dir.filePath(baseName + QLatin1Char('.') +
                                    QString::fromStdString(tools::ScenarioExtension(format, tokenRing)));
  WriteFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  return path;
}

inline QString WriteTokenRingTrace(const QTemporaryDir& dir) {
  return WriteScenario(dir, QStringLiteral("ring"), tools::TokenRingScenario(), "sniffer", true);
}

// A main window as the tests drive it: no waiting after reads, message boxes recorded, and
// every dialog answered by `answer` (closed with Rejected unless a test says otherwise).
class MainFormTest : public ::testing::Test {
 protected:
  std::unique_ptr<TMainForm> MakeForm(KeyValueStore& store, const QString& commandLine = {}) {
    MainFormOptions options;
    options.vendorFile = QStringLiteral(KORVANE_OUI_FILE);
    options.closeDelayMs = 0;
    options.commandLineFile = commandLine;
    auto form = std::make_unique<TMainForm>(store, options);
    form->SetDialogRunner([this](QDialog& dialog) {
      dialogs.push_back(QString::fromLatin1(dialog.metaObject()->className()));
      return answer ? answer(dialog) : int(QDialog::Rejected);
    });
    form->SetFileChooser([this](const QString& directory) {
      chooserDirectories.push_back(directory);
      return chosenFile;
    });
    form->SetUrlOpener([this](const QString& url) { openedUrls.push_back(url); });
    return form;
  }

  // The messages shown so far, as "title|text".
  std::vector<std::string> Shown() const {
    std::vector<std::string> out;
    for (const auto& m : messages.messages) out.push_back((m.title + QLatin1Char('|') + m.text).toStdString());
    return out;
  }

  RecordingMessageSink messages;
  ScopedMessageSink installed{messages};
  QTemporaryDir dir;
  MemoryStore store;
  std::function<int(QDialog&)> answer;
  std::vector<QString> dialogs;
  QString chosenFile;
  std::vector<QString> chooserDirectories;
  std::vector<QString> openedUrls;
};

}  // namespace korvane::uitest
