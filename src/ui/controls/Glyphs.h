// The pictures of the main window's tool buttons and of the Tip Wizard's light bulb, drawn
// rather than shipped as image files.
#pragma once
#include <QIcon>

namespace korvane {

enum class Glyph { Open, Print, Toolbox, Station, Network, ProblemFinder, LightBulb };

QIcon GlyphIcon(Glyph glyph, int size = 24);

}  // namespace korvane
