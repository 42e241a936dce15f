#pragma once

#include <QString>

namespace kestrova {

// The MIME type name of a regular file by its name alone (the contents are never read). Looked up once per
// extension, or per whole name for names without one, and remembered for the process: the type database's
// glob matching costs far more than listing an entry. Any thread.
QString contentTypeNameForFileName(const QString &fileName);

} // namespace kestrova
