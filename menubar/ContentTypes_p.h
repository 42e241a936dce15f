#pragma once

#include <QString>

namespace kestrova {

// The MIME type name of a regular file by its name alone (the contents are never read). Looked up once per
// extension, or per whole name for names without one, and remembered: the type database's glob matching
// costs far more than listing an entry. What is remembered stays bounded however many names are asked
// about. Any thread.
QString contentTypeNameForFileName(const QString &fileName);
// How many names and extensions are remembered now.
qsizetype rememberedContentTypeCount();

} // namespace kestrova
