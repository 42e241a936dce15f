#pragma once

#include <QString>

namespace kestrova::ApplicationEntry {

// Desktops name an application and draw its icon from its launcher entry ($XDG_DATA_DIRS/applications)
// and its icon theme files. An installed build has both; a build run from its own folder has neither, so
// its first run puts them under $XDG_DATA_HOME: the entry (with Exec naming the running program) and a
// scalable icon. Files that are already there, the user's own or an installed copy, are left alone.
// Answers false when a file had to be written and could not be.
bool installIfNeeded();

QString launcherFilePath();
QString iconFilePath();

} // namespace kestrova::ApplicationEntry
