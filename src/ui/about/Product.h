// The names the program shows for itself.
#pragma once
#include <QString>

namespace korvane::product {

inline QString Name() { return QStringLiteral("Korvane"); }
inline QString FullName() { return QStringLiteral("Korvane Seravo (tm)"); }
inline QString Maker() { return QStringLiteral("Zum4 Group"); }
inline QString Version() { return QStringLiteral(KORVANE_VERSION); }
// The maker's web page (Help > Visit Zum4 Group's Web Site).
inline QString WebAddress() { return QStringLiteral("https://zum4group.example/korvane"); }

}  // namespace korvane::product
