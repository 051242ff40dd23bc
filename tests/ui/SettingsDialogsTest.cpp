// The problem-finder settings dialog and the user-defined server ports dialog, driven
// through their controls and handlers without a modal loop.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "ui/controls/MessageSink.h"
#include "ui/main/ServerPortsDialog.h"
#include "ui/problems/ProblemSettingsDialog.h"

namespace korvane {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

int ItemNamed(std::string_view caption) {
  for (int i = 0; i < kProblemCheckCount; ++i)
    if (ProblemItems()[size_t(i)].caption == caption) return i;
  ADD_FAILURE() << caption;
  return 0;
}

struct ProblemDialog {
  explicit ProblemDialog(const ProblemFinderSettings& live) : dialog(live) {}
  QListWidget& List() { return *dialog.findChild<QListWidget*>("SettingsList"); }
  QSpinBox& Value() { return *dialog.findChild<QSpinBox*>("ValueSpinBox"); }
  QSlider& Slider() { return *dialog.findChild<QSlider*>("SensitivitySlider"); }
  bool ValueShown() { return !dialog.findChild<QWidget*>("ValuePanel")->isHidden(); }
  bool SliderShown() { return !dialog.findChild<QWidget*>("SensitivityPanel")->isHidden(); }
  QString Unit() { return dialog.findChild<QLabel*>("UnitLabel")->text(); }
  QString Word() { return dialog.findChild<QLabel*>("SensitivityWord")->text(); }
  QString Box(const char* name) { return dialog.findChild<QPlainTextEdit*>(name)->toPlainText(); }
  void Select(std::string_view caption) { List().setCurrentRow(ItemNamed(caption)); }
  TProblemSettings dialog;
};

// Live settings that differ from the defaults in a few places.
ProblemFinderSettings EditedLive() {
  ProblemFinderSettings live;
  live.SetThreshold(ProblemThreshold::TCPSlowAck, 900);
  live.SetThreshold(ProblemThreshold::CSBusyNetwork, 3);
  live.SetEnabled(ProblemCheck::EthernetCRCError, false);
  live.SetEnabled(ProblemCheck::UDPChecksumError, false);
  return live;
}

TEST(ProblemSettingsDialog, OpensOnTheFirstItemWithTheLiveChecksAndItsSlider) {
  const ProblemFinderSettings live = EditedLive();
  ProblemDialog d(live);
  EXPECT_EQ(d.dialog.windowTitle(), "Korvane ProblemFinder(tm) Settings");
  ASSERT_EQ(d.List().count(), kProblemCheckCount);
  for (int i = 0; i < kProblemCheckCount; ++i) {
    EXPECT_EQ(d.List().item(i)->text(), Q(ProblemItems()[size_t(i)].caption));
    EXPECT_EQ(d.List().item(i)->checkState() == Qt::Checked, live.Enabled[size_t(i)]) << i;
  }
  EXPECT_EQ(d.dialog.CurrentItem(), 0);
  EXPECT_EQ(d.dialog.findChild<QLineEdit*>("TitleBox")->text(), "Busy Network or Server");
  EXPECT_TRUE(d.Box("CausesBox").startsWith("Busy server, bandwidth contention"));
  EXPECT_TRUE(d.SliderShown());
  EXPECT_FALSE(d.ValueShown());
  EXPECT_EQ(d.Slider().value(), 3);
  EXPECT_EQ(d.Word(), "High");
  EXPECT_EQ(TProblemSettings::Tips(), (QList<int>{43, 44}));
  // Moving the slider changes the copy at once, and only the copy.
  d.Slider().setValue(1);
  EXPECT_EQ(d.Word(), "Low");
  EXPECT_EQ(d.dialog.WorkingCopy().Threshold(ProblemThreshold::CSBusyNetwork), 1);
  EXPECT_FALSE(d.dialog.Result().has_value());
  test::SaveShot(d.dialog, "ProblemSettings");
}

TEST(ProblemSettingsDialog, SlowAcknowledgementShowsMillisecondsAndItsRange) {
  ProblemDialog d(ProblemFinderSettings{});
  d.Select("TCP Slow Acknowledgement (ms)");
  EXPECT_TRUE(d.ValueShown());
  EXPECT_FALSE(d.SliderShown());
  EXPECT_EQ(d.Unit(), "milliseconds");
  EXPECT_EQ(d.Value().minimum(), 1);
  EXPECT_EQ(d.Value().maximum(), 65535);
  EXPECT_EQ(d.Value().value(), 250);
  // Each item brings its own range: the stuck window starts at 100, the low MSS has no unit.
  d.Select("TCP Stuck Window (ms)");
  EXPECT_EQ(d.Value().minimum(), 100);
  EXPECT_EQ(d.Value().maximum(), 50000);
  d.Select("TCP Low Starting MSS");
  EXPECT_EQ(d.Value().minimum(), 128);
  EXPECT_EQ(d.Unit(), "");
  EXPECT_EQ(d.Box("DescriptionBox"), "The TCP Maximum Segment Size (MSS) is at or below the threshold setting. ");
  // Items without a threshold show neither control.
  d.Select("TCP Reset Connection");
  EXPECT_FALSE(d.ValueShown());
  EXPECT_FALSE(d.SliderShown());
  EXPECT_FALSE(d.dialog.findChild<QPushButton*>("RestoreDefaultButton")->isEnabled());
  // The spin box edits the selected item's threshold; Restore Default puts it back.
  d.Select("TCP Slow Acknowledgement (ms)");
  d.Value().setValue(777);
  EXPECT_EQ(d.dialog.WorkingCopy().Threshold(ProblemThreshold::TCPSlowAck), 777);
  EXPECT_EQ(d.dialog.WorkingCopy().Threshold(ProblemThreshold::TCPStuckWindow), 2000);
  d.dialog.findChild<QPushButton*>("RestoreDefaultButton")->click();
  EXPECT_EQ(d.Value().value(), 250);
  EXPECT_EQ(d.dialog.WorkingCopy().Threshold(ProblemThreshold::TCPSlowAck), 250);
  test::SaveShot(d.dialog, "ProblemSettings-value");
}

TEST(ProblemSettingsDialog, RestoreAllDefaultsThenCancelLeavesTheLiveSettings) {
  const ProblemFinderSettings live = EditedLive();
  ProblemDialog d(live);
  d.dialog.findChild<QPushButton*>("RestoreAllButton")->click();
  EXPECT_EQ(d.dialog.WorkingCopy(), ProblemFinderSettings{});
  EXPECT_EQ(d.List().item(int(ProblemCheck::EthernetCRCError))->checkState(), Qt::Checked);
  EXPECT_EQ(d.Slider().value(), 2);
  d.dialog.findChild<QPushButton*>("CancelButton")->click();
  EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(d.dialog.Result().has_value());
}

TEST(ProblemSettingsDialog, UncheckingNcpFastRetransmissionTurnsOffOnlyThatCheck) {
  const ProblemFinderSettings live = EditedLive();
  ProblemDialog d(live);
  const int ncp = ItemNamed("NCP Fast Retransmission (ms)");
  d.List().item(ncp)->setCheckState(Qt::Unchecked);
  d.dialog.findChild<QPushButton*>("OkButton")->click();
  ASSERT_TRUE(d.dialog.Result().has_value());
  ProblemFinderSettings expected = live;
  expected.SetEnabled(ProblemCheck::NCPFastTransportRetransmission, false);
  EXPECT_EQ(*d.dialog.Result(), expected);
  EXPECT_TRUE(d.dialog.Result()->IsEnabled(ProblemCheck::TCPFastTransportRetransmission));
}

TEST(ProblemSettingsDialog, EnableAndDisableAllSetEveryCheckButNoThreshold) {
  const ProblemFinderSettings live = EditedLive();
  ProblemDialog d(live);
  d.dialog.findChild<QPushButton*>("DisableAllButton")->click();
  for (int i = 0; i < kProblemCheckCount; ++i) {
    EXPECT_EQ(d.List().item(i)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(d.dialog.WorkingCopy().Enabled[size_t(i)]);
  }
  d.dialog.findChild<QPushButton*>("EnableAllButton")->click();
  for (int i = 0; i < kProblemCheckCount; ++i) EXPECT_TRUE(d.dialog.WorkingCopy().Enabled[size_t(i)]);
  EXPECT_EQ(d.dialog.WorkingCopy().Thresholds, live.Thresholds);
}

// ---------------------------------------------------------------------------------------

ServerPortSettings StoredPorts() {
  ServerPortSettings ports;
  ports.Entries = {"8080\tProxy", "21\tMy FTP", "1000\tBackup"};
  return ports;
}

struct PortsDialog {
  explicit PortsDialog(const ServerPortSettings& stored) : dialog(stored) {}
  QLineEdit& Port() { return *dialog.findChild<QLineEdit*>("PortEdit"); }
  QLineEdit& Name() { return *dialog.findChild<QLineEdit*>("NameEdit"); }
  QListWidget& List() { return *dialog.findChild<QListWidget*>("PortList"); }
  QPushButton& Button(const char* name) { return *dialog.findChild<QPushButton*>(name); }
  bool Enabled(const char* name) { return Button(name).isEnabled(); }
  void Enter(const QString& port, const QString& name) {
    Port().setText(port);
    Name().setText(name);
  }
  RecordingMessageSink messages;
  ScopedMessageSink seam{messages};
  TServerPortsDialog dialog;
};

TEST(ServerPortsDialog, ListsTheStoredPortsInTextOrderWithEverythingDisabled) {
  PortsDialog d(StoredPorts());
  EXPECT_EQ(d.dialog.windowTitle(), "User-defined Ports");
  EXPECT_EQ(d.dialog.findChild<QLabel*>("ExplanationLabel")->text(),
            "This is where you can enter UDP/TCP server ports\nnot pre-programmed into Korvane or override the\n"
            "names given to ports. Port numbers are in decimal.");
  EXPECT_EQ(d.dialog.Entries(), (QStringList{"1000\tBackup", "21\tMy FTP", "8080\tProxy"}));
  EXPECT_FALSE(d.Enabled("AddButton"));
  EXPECT_FALSE(d.Enabled("UpdateButton"));
  EXPECT_FALSE(d.Enabled("DeleteButton"));
  EXPECT_EQ(d.Port().maxLength(), 5);
}

TEST(ServerPortsDialog, AddUpdateAndDeleteFollowTheEditsAndTheSelection) {
  PortsDialog d(StoredPorts());
  d.Enter("3389", "");
  EXPECT_FALSE(d.Enabled("AddButton"));
  d.Enter("3389", "Remote Desktop");
  EXPECT_TRUE(d.Enabled("AddButton"));
  EXPECT_FALSE(d.Enabled("UpdateButton"));
  d.Button("AddButton").click();
  EXPECT_EQ(d.dialog.Entries(), (QStringList{"1000\tBackup", "21\tMy FTP", "3389\tRemote Desktop", "8080\tProxy"}));
  EXPECT_TRUE(d.dialog.Changed());
  // Selecting an entry puts its two halves in the edits.
  d.List().setCurrentRow(1);
  EXPECT_EQ(d.Port().text(), "21");
  EXPECT_EQ(d.Name().text(), "My FTP");
  EXPECT_TRUE(d.Enabled("UpdateButton"));
  EXPECT_TRUE(d.Enabled("DeleteButton"));
  d.Enter("2121", "FTP Alt");
  d.Button("UpdateButton").click();
  EXPECT_EQ(d.dialog.Entries(), (QStringList{"1000\tBackup", "2121\tFTP Alt", "3389\tRemote Desktop", "8080\tProxy"}));
  // Delete leaves nothing selected: Delete and Update go grey.
  d.List().setCurrentRow(0);
  d.Button("DeleteButton").click();
  EXPECT_EQ(d.dialog.Entries(), (QStringList{"2121\tFTP Alt", "3389\tRemote Desktop", "8080\tProxy"}));
  EXPECT_FALSE(d.Enabled("DeleteButton"));
  EXPECT_FALSE(d.Enabled("UpdateButton"));
  EXPECT_TRUE(d.Enabled("AddButton"));
  d.List().setCurrentRow(1);
  d.dialog.resize(420, 360);
  test::SaveShot(d.dialog, "ServerPorts");
}

TEST(ServerPortsDialog, PortTextThatIsNoPortNumberIsRefused) {
  PortsDialog d(StoredPorts());
  d.Enter("12a", "Odd");
  EXPECT_FALSE(d.Enabled("AddButton"));
  EXPECT_FALSE(d.dialog.PortEditExit());
  ASSERT_EQ(d.messages.messages.size(), 1u);
  EXPECT_EQ(d.messages.messages[0].title, "Error");
  EXPECT_EQ(d.messages.messages[0].text, "Invalid Port Number");
  EXPECT_EQ(d.messages.messages[0].icon, MessageIcon::Stop);
  EXPECT_EQ(d.Port().text(), "12a");  // the text stays for correcting
  // Five digits above the highest port are no port either; an empty edit says nothing.
  d.Port().setText("70000");
  EXPECT_FALSE(d.dialog.PortEditExit());
  EXPECT_FALSE(d.Enabled("AddButton"));
  d.Port().clear();
  EXPECT_TRUE(d.dialog.PortEditExit());
  d.Port().setText("65535");
  EXPECT_TRUE(d.dialog.PortEditExit());
  EXPECT_TRUE(d.Enabled("AddButton"));
  EXPECT_EQ(d.messages.messages.size(), 2u);
  // Typed text keeps its digits only.
  d.Port().clear();
  QTest::keyClicks(&d.Port(), "8a0-8 0");
  EXPECT_EQ(d.Port().text(), "8080");
}

TEST(ServerPortsDialog, LeavingThePortEditForAnotherControlChecksIt) {
  PortsDialog d(StoredPorts());
  d.dialog.show();
  d.dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d.dialog));
  d.Port().setFocus(Qt::TabFocusReason);
  d.Port().setText("x1");
  d.Name().setFocus(Qt::TabFocusReason);
  ASSERT_EQ(d.messages.messages.size(), 1u);
  EXPECT_EQ(d.messages.messages[0].text, "Invalid Port Number");
}

TEST(ServerPortsDialog, CancelAfterSeveralAddsRestoresTheStoredList) {
  PortsDialog d(StoredPorts());
  d.dialog.SetFileOpen(true);
  for (const char* port : {"1", "2", "3"}) {
    d.Enter(port, "Added");
    d.Button("AddButton").click();
  }
  EXPECT_EQ(d.dialog.Entries().size(), 6);
  d.Button("CancelButton").click();
  EXPECT_EQ(d.dialog.result(), QDialog::Rejected);
  EXPECT_EQ(d.dialog.Entries(), (QStringList{"1000\tBackup", "21\tMy FTP", "8080\tProxy"}));
  EXPECT_EQ(d.dialog.Result(), StoredPorts());
  EXPECT_TRUE(d.Port().text().isEmpty());
  EXPECT_TRUE(d.messages.messages.empty());  // nothing changed that a re-read would show
}

TEST(ServerPortsDialog, OkStoresTheListInItsOrderAndAsksForARereadWhenAFileIsOpen) {
  PortsDialog d(StoredPorts());
  d.dialog.SetFileOpen(true);
  d.Enter("5000", "Upnp");
  d.Button("AddButton").click();
  d.Button("OkButton").click();
  EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
  EXPECT_EQ(d.dialog.Result().Entries,
            (std::vector<std::string>{"1000\tBackup", "21\tMy FTP", "5000\tUpnp", "8080\tProxy"}));
  EXPECT_TRUE(d.Port().text().isEmpty());
  EXPECT_TRUE(d.Name().text().isEmpty());
  ASSERT_EQ(d.messages.messages.size(), 1u);
  EXPECT_EQ(d.messages.messages[0].title, "User-defined Ports");
  EXPECT_EQ(d.messages.messages[0].text, "You must re-open the file for port changes to take affect.");
  EXPECT_EQ(d.messages.messages[0].icon, MessageIcon::Exclamation);
  // The dialog lives on: a later Cancel goes back to what OK kept.
  d.List().setCurrentRow(0);
  d.Button("DeleteButton").click();
  d.dialog.reject();
  EXPECT_EQ(d.dialog.Entries().size(), 4);
}

TEST(ServerPortsDialog, DeletingEveryEntryAndOkEmptiesTheSectionWithoutAMessageWhenNoFileIsOpen) {
  PortsDialog d(StoredPorts());
  while (d.List().count() > 0) {
    d.List().setCurrentRow(0);
    d.Button("DeleteButton").click();
  }
  d.Button("OkButton").click();
  EXPECT_TRUE(d.dialog.Result().Entries.empty());
  MemoryStore store;
  StoredPorts().Save(store);
  d.dialog.Result().Save(store);
  EXPECT_FALSE(store.Value(kServerPortsSection, "0").has_value());
  EXPECT_TRUE(d.messages.messages.empty());
}

TEST(ServerPortsDialog, ShowingAgainStartsWithoutChanges) {
  PortsDialog d(StoredPorts());
  d.Enter("7", "Echo");
  d.Button("AddButton").click();
  ASSERT_TRUE(d.dialog.Changed());
  d.dialog.show();
  EXPECT_FALSE(d.dialog.Changed());
  d.dialog.hide();
}

}  // namespace
}  // namespace korvane
