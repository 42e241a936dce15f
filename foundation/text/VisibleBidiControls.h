#pragma once

#include <QString>

namespace kestrova {

// A name as it is safe to show: each character that reorders the text around it (the embeddings,
// overrides and isolates, the marks U+200E, U+200F and U+061C) is replaced by a visible mark naming it,
// such as "⟦RLO⟧", so that "invoice", U+202E, "gnp.exe" reads "invoice⟦RLO⟧gnp.exe" and its true extension
// shows.
// Any other text comes back as it is. Only for showing: paths, copies and look-ups keep the real name.
QString withVisibleBidiControls(const QString &text);

} // namespace kestrova
