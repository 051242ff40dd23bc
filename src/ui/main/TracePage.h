// One page of the main window's page control. The main window hands every page the
// session after a trace has been read (and clears them on Close); a page never computes a
// figure itself: it asks reports/ for rows and texts and shows them.
#pragma once
#include <QString>
#include <QWidget>

namespace korvane {

struct TraceSession;

class TracePage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  // Rebuilds the page from a freshly read trace. The session outlives the page's use of it
  // until ClearTrace or the next ShowTrace.
  virtual void ShowTrace(const TraceSession& session) = 0;
  // Back to the no-file state.
  virtual void ClearTrace() = 0;
  // The Edit menu's copy caption for this page ("&Copy" when empty) and the copy itself
  // (puts the page's selection or picture on the clipboard).
  virtual QString CopyCaption() const { return {}; }
  virtual void Copy() {}
  // Edit > Select All, where the page has a selectable table.
  virtual bool CanSelectAll() const { return false; }
  virtual void SelectAll() {}
  // The tip numbers (1..44) the Tip Wizard shows while this page is active.
  virtual QList<int> Tips() const { return {}; }
};

}  // namespace korvane
