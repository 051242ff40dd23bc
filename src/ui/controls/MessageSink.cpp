#include "ui/controls/MessageSink.h"

#include <QMessageBox>

namespace korvane {

namespace {
class BoxSink final : public MessageSink {
 public:
  MessageAnswer Show(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                     MessageButtons buttons) override {
    QMessageBox box(BoxIcon(icon), title, text, BoxButtons(buttons), parent);
    // Modal for the whole program, as the file flow's boxes are.
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
      case QMessageBox::Ok: return MessageAnswer::Ok;
      case QMessageBox::Yes: return MessageAnswer::Yes;
      case QMessageBox::No: return MessageAnswer::No;
      // Closed without a button: the box's escape answer.
      default: return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
  }

 private:
  static QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
      case MessageIcon::Information: return QMessageBox::Information;
      case MessageIcon::Exclamation: return QMessageBox::Warning;
      case MessageIcon::Stop: return QMessageBox::Critical;
      case MessageIcon::Question: return QMessageBox::Question;
      case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
  }
  static QMessageBox::StandardButtons BoxButtons(MessageButtons buttons) {
    switch (buttons) {
      case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
      case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
      case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      case MessageButtons::Ok: break;
    }
    return QMessageBox::Ok;
  }
};

// The one place the program keeps its sink: the user interface's own state, never the engine's.
MessageSink*& Installed() {
  static MessageSink* sink = nullptr;
  return sink;
}
}  // namespace

MessageSink& Messages() {
  static BoxSink boxes;
  MessageSink* sink = Installed();
  return sink ? *sink : boxes;
}

ScopedMessageSink::ScopedMessageSink(MessageSink& sink) : previous_(Installed()) { Installed() = &sink; }
ScopedMessageSink::~ScopedMessageSink() { Installed() = previous_; }

}  // namespace korvane
