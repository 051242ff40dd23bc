#include "ui/about/ErrorInformation.h"

#include <cxxabi.h>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "ui/about/Product.h"

namespace korvane {

namespace {
QString TypeName(const std::type_info* type) {
  if (!type) return QStringLiteral("unknown");
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                    std::free);
  return QString::fromUtf8(status == 0 && demangled ? demangled.get() : type->name());
}
}  // namespace

ErrorDetails DescribeError(std::exception_ptr error) {
  ErrorDetails details;
  details.module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    details.kind = TypeName(&typeid(e));
    details.message = QString::fromUtf8(e.what());
  } catch (...) {
    details.kind = TypeName(abi::__cxa_current_exception_type());
  }
  return details;
}

QString ErrorFirstLine(const ErrorDetails& details) {
  return QStringLiteral("Exception %1 in Module %2 at %3.")
      .arg(details.kind, details.module, QStringLiteral("%1").arg(details.address, int(sizeof(void*) * 2), 16,
                                                                   QLatin1Char('0')).toUpper());
}

QString ErrorSecondLine(const ErrorDetails& details) {
  QString message = details.message.trimmed();
  if (message.isEmpty()) message = QStringLiteral("No further information was given");
  if (!message.endsWith(QLatin1Char('.'))) message += QLatin1Char('.');
  return message;
}

TErrorInformationForm::TErrorInformationForm(const ErrorDetails& details, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ErrorInformationForm"));
  setWindowTitle(QStringLiteral("Error Information"));
  setModal(true);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(40, 40));
  auto* heading = new QLabel(product::Name() + QStringLiteral(" has encountered an error!"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  heading->setFont(bold);
  first_ = new QLabel(ErrorFirstLine(details), this);
  second_ = new QLabel(ErrorSecondLine(details), this);
  for (QLabel* line : {first_, second_}) {
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  exit_ = new QPushButton(QStringLiteral("&Exit"), this);
  exit_->setDefault(true);
  connect(exit_, &QPushButton::clicked, this, [this] {
    exitChosen_ = true;
    accept();
  });

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  auto* text = new QVBoxLayout;
  text->addWidget(heading);
  text->addSpacing(6);
  text->addWidget(first_);
  text->addWidget(second_);
  top->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(exit_, 0, Qt::AlignHCenter);
  setMinimumWidth(460);
}

TKorvaneApplication::TKorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt takes the user's locale for the whole process; numbers in the reports are written
  // and read back with a decimal point whatever it is, as the command-line program does.
  std::setlocale(LC_NUMERIC, "C");
  reporter_ = [](const ErrorDetails& details) {
    TErrorInformationForm form(details, QApplication::activeWindow());
    form.exec();
    if (form.ExitChosen()) QCoreApplication::exit(1);
  };
}

bool TKorvaneApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportError(std::current_exception());
    return false;
  }
}

void TKorvaneApplication::ReportError(std::exception_ptr error) {
  if (reporter_) reporter_(DescribeError(error));
}

}  // namespace korvane
