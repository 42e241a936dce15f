// GLib's headers come first: they must not meet Qt's macros.
#include "platform/GioFunctions.h"

#include "DataAndSettings.h"

#include <QFile>

namespace kestrova::DataAndSettings {

bool moveToTrash(const QString &path) {
    GFile *file = g_file_new_for_path(QFile::encodeName(path).constData());
    GError *error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    if (error)
        g_error_free(error);
    g_object_unref(file);
    return trashed;
}

} // namespace kestrova::DataAndSettings
