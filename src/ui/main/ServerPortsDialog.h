// "User-defined Ports": the list of UDP/TCP server ports with the names the analysis gives
// them ("port<TAB>name"). Made once at start with the stored list and shown again and
// again; the caller stores Result() when it closes with OK, and hands it to the port-name
// lookup for the next trace read:
//
//   if (ports.exec() == QDialog::Accepted) { settings = ports.Result(); settings.Save(store); }
#pragma once
#include <QDialog>
#include <QStringList>

#include "settings/ServerPortSettings.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvane {

class TServerPortsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TServerPortsDialog(const ServerPortSettings& stored, QWidget* parent = nullptr);

  // Whether a trace is open: closing after changes then says that it must be read again.
  void SetFileOpen(bool open) { fileOpen_ = open; }
  // The list as last stored: the one the dialog was made with, or what OK last kept.
  const ServerPortSettings& Result() const { return stored_; }
  // The list as shown, in its order.
  QStringList Entries() const;
  bool Changed() const { return changed_; }

  // A port text the list takes: a decimal number of 0..65535.
  static bool IsPortNumber(const QString& text);

 public slots:
  void AddClick();
  void UpdateClick();
  void DeleteClick();
  void OkClick();
  void CancelClick();
  // Cancel, Escape and the close box: back to the stored list.
  void reject() override;
  // Leaving the Port edit: a text that is not a port number gives "Invalid Port Number"
  // (the text stays). Returns whether the text is acceptable.
  bool PortEditExit();

 protected:
  void showEvent(QShowEvent* event) override;  // each showing starts without changes
  void done(int result) override;              // the closing message
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load();  // the list from stored_, both edits empty
  void InsertSorted(const QString& entry);
  void UpdateButtons();
  void EntrySelected();
  QString EditedEntry() const;

  ServerPortSettings stored_;
  bool fileOpen_ = false;
  bool changed_ = false;

  QLineEdit* port_ = nullptr;
  QLineEdit* name_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* update_ = nullptr;
  QPushButton* delete_ = nullptr;
};

}  // namespace korvane
