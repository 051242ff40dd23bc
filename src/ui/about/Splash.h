// The picture of the splash screen shown while the program starts.
#pragma once
#include <QPixmap>

namespace korvane {

QPixmap SplashPixmap();

}  // namespace korvane
