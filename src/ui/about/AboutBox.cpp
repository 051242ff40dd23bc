#include "ui/about/AboutBox.h"

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include "app/QSettingsStore.h"
#include "ui/about/Product.h"
#include "ui/about/Splash.h"

namespace korvane {

namespace {
QDialogButtonBox* CloseButtons(QDialog* dialog, QDialogButtonBox::StandardButton button = QDialogButtonBox::Ok) {
  auto* buttons = new QDialogButtonBox(button, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QString MemoryText() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return QStringLiteral("unknown");
  return QLocale::c().toString(double(pages) * double(pageSize) / (1024.0 * 1024.0), 'f', 0) + QStringLiteral(" MB");
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About ") + product::Name());
  auto* picture = new QLabel(this);
  picture->setPixmap(SplashPixmap().scaledToWidth(360, Qt::SmoothTransformation));
  auto* name = new QLabel(product::FullName(), this);
  QFont bold = name->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  name->setFont(bold);
  auto* version = new QLabel(QStringLiteral("Version ") + product::Version(), this);
  auto* maker = new QLabel(QStringLiteral("Copyright (c) ") + product::Maker(), this);
  auto* purpose = new QLabel(QStringLiteral("Expert analysis of Ethernet and Token Ring trace files."), this);
  systemInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
  techSupport_ = new QPushButton(QStringLiteral("&Technical Support..."), this);
  auto* buttons = CloseButtons(this);
  buttons->addButton(systemInfo_, QDialogButtonBox::ActionRole);
  buttons->addButton(techSupport_, QDialogButtonBox::ActionRole);
  connect(systemInfo_, &QPushButton::clicked, this, [this] { TSystemInfoForm(this).exec(); });
  connect(techSupport_, &QPushButton::clicked, this, [this] { TTechSupportForm(this).exec(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(picture, 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  for (QLabel* line : {name, version, maker, purpose}) layout->addWidget(line, 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString SystemInformationText() {
  QStringList lines;
  lines << product::FullName() + QStringLiteral(" version ") + product::Version();
  lines << QStringLiteral("Operating system: ") + QSysInfo::prettyProductName();
  lines << QStringLiteral("Kernel: ") + QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
  lines << QStringLiteral("Processor: ") + QSysInfo::currentCpuArchitecture() + QStringLiteral(", ") +
               QString::number(QThread::idealThreadCount()) + QStringLiteral(" threads");
  lines << QStringLiteral("Memory: ") + MemoryText();
  lines << QStringLiteral("Qt: ") + QString::fromLatin1(qVersion()) + QStringLiteral(" (") +
               QGuiApplication::platformName() + QLatin1Char(')');
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    lines << QStringLiteral("Screen: %1 x %2 pixels, %3 dpi")
                 .arg(screen->size().width())
                 .arg(screen->size().height())
                 .arg(qRound(screen->logicalDotsPerInch()));
  lines << QStringLiteral("Program: ") + QCoreApplication::applicationFilePath();
  lines << QStringLiteral("Settings: ") +
               QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisationName),
                         QString::fromLatin1(kApplicationName))
                   .fileName();
  return lines.join(QLatin1Char('\n'));
}

TSystemInfoForm::TSystemInfoForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SystemInfoForm"));
  setWindowTitle(QStringLiteral("System Information"));
  text_ = new QPlainTextEdit(SystemInformationText(), this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  const QFontMetrics metrics(text_->font());
  text_->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('x')) * 80, metrics.lineSpacing() * 11);
  auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
  connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text_->toPlainText()); });
  auto* buttons = CloseButtons(this);
  buttons->addButton(copy, QDialogButtonBox::ActionRole);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
}

TTechSupportForm::TTechSupportForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TechSupportForm"));
  setWindowTitle(QStringLiteral("Technical Support"));
  auto* text = new QLabel(
      QStringLiteral("<p><b>%1 technical support</b></p>"
                     "<p>Write to <a href=\"mailto:support@zum4group.example\">support@zum4group.example</a> "
                     "or visit <a href=\"%2\">%2</a>.</p>"
                     "<p>Please send along:</p>"
                     "<ul><li>the text of Help &gt; About &gt; System Info (its Copy button puts it on the "
                     "clipboard);</li>"
                     "<li>the analyser and format of the trace file, as the File Summary page shows them;</li>"
                     "<li>both lines of any Error Information window;</li>"
                     "<li>where you can, the trace file itself.</li></ul>")
          .arg(product::Name(), product::WebAddress()),
      this);
  text->setWordWrap(true);
  text->setOpenExternalLinks(true);
  text->setTextFormat(Qt::RichText);
  text->setMinimumWidth(420);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(CloseButtons(this));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace korvane
