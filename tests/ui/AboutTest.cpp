// The About box, the system information and technical support windows, the splash screen,
// and the "Error Information" window that every unexpected fault reaches.
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "UiTestSupport.h"
#include "ui/about/AboutBox.h"
#include "ui/about/ErrorInformation.h"
#include "ui/about/Splash.h"

namespace korvane::uitest {
namespace {

TEST(AboutTest, AboutBoxAndItsWindows) {
  TAboutBox about;
  about.show();
  QTest::qWait(20);
  const QList<QLabel*> labels = about.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                          [](QLabel* l) { return l->text() == QStringLiteral("Korvane Seravo (tm)"); }));
  SaveShot(about, QStringLiteral("about"));

  TSystemInfoForm info;
  const QString text = info.Text()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("Operating system: ")));
  EXPECT_TRUE(text.contains(QStringLiteral("Qt: ") + QString::fromLatin1(qVersion())));
  EXPECT_EQ(text, SystemInformationText());
  info.show();
  QTest::qWait(20);
  SaveShot(info, QStringLiteral("system-information"));

  TTechSupportForm support;
  support.show();
  QTest::qWait(20);
  SaveShot(support, QStringLiteral("technical-support"));
}

TEST(AboutTest, SplashPictureIsDrawn) {
  const QPixmap splash = SplashPixmap();
  EXPECT_EQ(splash.size(), QSize(480, 270));
  QDir().mkpath(QStringLiteral(KORVANE_UI_SHOTS));
  EXPECT_TRUE(splash.save(QStringLiteral(KORVANE_UI_SHOTS "/splash.png")));
}

TEST(ErrorInformationTest, LinesOfTheWindow) {
  ErrorDetails details{QStringLiteral("std::out_of_range"), QStringLiteral("korvane"), 0x4A2F10,
                       QStringLiteral("vector::_M_range_check: __n (which is 7) >= this->size() (which is 7)")};
  EXPECT_EQ(ErrorFirstLine(details), QStringLiteral("Exception std::out_of_range in Module korvane at %1.")
                                         .arg(QStringLiteral("4A2F10").rightJustified(int(sizeof(void*) * 2),
                                                                                       QLatin1Char('0'))));
  EXPECT_EQ(ErrorSecondLine(details), details.message + QLatin1Char('.'));
  details.message = QStringLiteral("Already a sentence.");
  EXPECT_EQ(ErrorSecondLine(details), QStringLiteral("Already a sentence."));

  TErrorInformationForm form(details);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Error Information"));
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.ExitButton()->text(), QStringLiteral("&Exit"));
  const QList<QLabel*> labels = form.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
    return l->text() == QStringLiteral("Korvane has encountered an error!");
  }));
  form.show();
  QTest::qWait(20);
  SaveShot(form, QStringLiteral("error-information"));
  // Closing returns to the program; only "&Exit" ends it.
  form.reject();
  EXPECT_FALSE(form.ExitChosen());
  form.ExitButton()->click();
  EXPECT_TRUE(form.ExitChosen());
}

// Throws from its event handler, as a faulty window would.
class Faulty : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::length_error("table too long");
    if (e->type() == QEvent::User + 1) throw 42;
    return QObject::event(e);
  }
};

TEST(ErrorInformationTest, FaultsInEventHandlersReachTheHandler) {
  auto* app = qobject_cast<TKorvaneApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  std::vector<ErrorDetails> reported;
  app->SetReporter([&](const ErrorDetails& details) { reported.push_back(details); });
  Faulty faulty;
  QEvent user(QEvent::User);
  QCoreApplication::sendEvent(&faulty, &user);
  QEvent other(QEvent::Type(QEvent::User + 1));
  QCoreApplication::sendEvent(&faulty, &other);
  app->SetReporter(nullptr);
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_EQ(reported[0].kind, QStringLiteral("std::length_error"));
  EXPECT_EQ(reported[0].message, QStringLiteral("table too long"));
  EXPECT_EQ(ErrorSecondLine(reported[0]), QStringLiteral("table too long."));
  EXPECT_EQ(reported[0].module, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  EXPECT_EQ(reported[1].kind, QStringLiteral("int"));
  EXPECT_FALSE(ErrorSecondLine(reported[1]).isEmpty());
}

}  // namespace
}  // namespace korvane::uitest
