#include "ui/controls/WindowPlacer.h"

#include <QGuiApplication>
#include <QScreen>

#include "settings/WindowPlacement.h"

namespace korvane {

void RestoreWindowPlacement(QWidget& window, const KeyValueStore& store) {
  const std::optional<WindowPlacement> stored = WindowPlacement::Load(store, window.objectName().toStdString());
  if (!stored) return;
  if (stored->State == WindowShowState::Maximised) {
    window.setWindowState(Qt::WindowMaximized);
    return;
  }
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  const QSize area = screen ? screen->geometry().size() : QSize(stored->Width, stored->Height);
  const WindowPlacement p = stored->FittedTo(area.width(), area.height());
  if (p.Width <= 0 || p.Height <= 0) return;
  window.move(p.Left, p.Top);
  window.resize(p.Width, p.Height);
}

void SaveWindowPlacement(const QWidget& window, KeyValueStore& store) {
  const bool maximised = window.isMaximized();
  const QRect normal = maximised ? window.normalGeometry() : QRect(window.pos(), window.size());
  WindowPlacement p;
  p.Left = normal.x();
  p.Top = normal.y();
  p.Width = normal.width();
  p.Height = normal.height();
  p.State = maximised ? WindowShowState::Maximised : WindowShowState::Normal;
  p.Save(store, window.objectName().toStdString());
}

}  // namespace korvane
