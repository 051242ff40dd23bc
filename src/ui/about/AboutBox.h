// Help > About: the program's name, version and maker, with the system information and
// technical support windows one click away.
#pragma once
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace korvane {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QPushButton* SystemInfoButton() const { return systemInfo_; }
  QPushButton* TechSupportButton() const { return techSupport_; }

 private:
  QPushButton* systemInfo_;
  QPushButton* techSupport_;
};

// The facts about the machine and the program that support asks for, one per line.
QString SystemInformationText();

// The machine and program facts, ready to copy into a support request.
class TSystemInfoForm : public QDialog {
  Q_OBJECT
 public:
  explicit TSystemInfoForm(QWidget* parent = nullptr);
  QPlainTextEdit* Text() const { return text_; }

 private:
  QPlainTextEdit* text_;
};

// How to reach technical support and what to send along.
class TTechSupportForm : public QDialog {
  Q_OBJECT
 public:
  explicit TTechSupportForm(QWidget* parent = nullptr);
};

}  // namespace korvane
