// A window's last placement, kept under its object name: restored when the window is made,
// saved when it is put away.
#pragma once
#include <QWidget>

#include "settings/KeyValueStore.h"

namespace korvane {

void RestoreWindowPlacement(QWidget& window, const KeyValueStore& store);
void SaveWindowPlacement(const QWidget& window, KeyValueStore& store);

}  // namespace korvane
