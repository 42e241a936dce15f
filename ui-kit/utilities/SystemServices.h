#pragma once

#include "foundation/errors/Error.h"

#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// Named actions of other applications run on files, such as the file manager's properties window. Only
// "Finder/Show Info" exists on this desktop: it shows the properties window of each item (through the
// workspace). Main thread only.
namespace kestrova::SystemServices {

// A service that is not offered here or that did not run. Its one case is `unknownServiceFailure`; every
// value is equal. Domain "Kestrova.SystemServices.Error", code 0. The description names the service that
// is not available, or says why it did not run.
class Error : public kestrova::Error {
public:
    static Error unknownServiceFailure(const QString &serviceName, const std::optional<QString> &reason = {});

    bool operator==(const Error &) const { return true; }

private:
    Error(const QString &serviceName, const std::optional<QString> &reason);
};

// Runs the service (the application's name and the service's title joined by a slash) on the URLs; throws
// `Error::unknownServiceFailure` for a service that is not offered or that did not run. The clipboard is
// never touched.
void performService(const QString &name, const std::vector<QUrl> &urls);

} // namespace kestrova::SystemServices
