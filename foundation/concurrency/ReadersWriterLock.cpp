#include "ReadersWriterLock.h"

namespace kestrova {

ReadersWriterLock::ReadersWriterLock(std::optional<QString> label)
    : m_label(label ? std::move(*label) : QStringLiteral("org.kestrova.Kestrova.readersWriterLock")) {}

} // namespace kestrova
