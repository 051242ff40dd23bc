// Message boxes go through one seam: the program shows them with QMessageBox, the tests
// install a recorder and read what would have been shown (and give the answer).
#pragma once
#include <QString>
#include <vector>

class QWidget;

namespace korvane {

enum class MessageIcon { None, Information, Exclamation, Stop, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows a modal message box over parent and returns the button the user chose.
  virtual MessageAnswer Show(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::Ok) = 0;
};

// The sink in use: the installed one, else the one that shows QMessageBox.
MessageSink& Messages();

// Installs a sink for the life of the object (tests), restoring the previous one after.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink& sink);
  ~ScopedMessageSink();
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* previous_;
};

// Keeps every message instead of showing it, and answers with `answer`.
class RecordingMessageSink final : public MessageSink {
 public:
  struct Message {
    QString title, text;
    MessageIcon icon;
    MessageButtons buttons;
  };
  MessageAnswer Show(QWidget*, const QString& title, const QString& text, MessageIcon icon,
                     MessageButtons buttons) override {
    messages.push_back({title, text, icon, buttons});
    return answer;
  }
  std::vector<Message> messages;
  MessageAnswer answer = MessageAnswer::Ok;
};

}  // namespace korvane
