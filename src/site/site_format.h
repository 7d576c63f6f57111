#pragma once
// What the writer puts at the top of a site document and the checker demands there.

#include <QString>

inline const QString kSiteFormat = QStringLiteral("m4500-site");
inline constexpr int kSiteVersion = 1;
