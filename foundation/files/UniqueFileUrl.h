#pragma once

#include <QUrl>

namespace kestrova {

// The first numbered variant of a file URL whose name is free: for "Photo.png" the candidates are
// "Photo.png", "Photo (1).png", "Photo (2).png", …; a name that already ends in " (n)" counts on from n
// ("Photo (3).png" tries "Photo.png", then "Photo (4).png", …). Only a look: a file may still appear at
// the answer before it is written, so writers that must not replace one commit with an exclusive rename.
QUrl uniqueFileURL(const QUrl &url);

} // namespace kestrova
