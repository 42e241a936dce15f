#pragma once

#include "foundation/values/EmailAddress.h"

#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

// What the support and debug windows do with the debug report and the application's data: copy it, mail
// it, show where crash reports are, open the feedback page, and start over. Main thread only.
namespace kestrova {

// A "mailto:" link to the recipients (joined by ","), with "subject", "body", "cc" and "bcc" items for the
// values given; names and values are percent-encoded except letters, digits and "-._~" (a space is %20).
QUrl mailtoURL(const std::vector<EmailAddress> &recipients, const std::optional<QString> &subject,
               const std::optional<QString> &body, const std::vector<EmailAddress> &cc = {},
               const std::vector<EmailAddress> &bcc = {});

// The body of a "mailto:" link that carries an attachment in its text: the body, four line feeds, the file
// name, a rule of 30 hyphens, an empty line and the attachment text.
QString mailtoBodyWithAttachment(const std::optional<QString> &body, const QString &attachmentFilename,
                                 const QString &attachmentText);

// The same as a link, the attachment text cut short so that the whole link stays within
// `maximumLinkLength` bytes: a link is handed to the mail application as one program argument, which the
// system caps at 128 KiB. A cut text ends by saying that the whole text is in the attached file.
QUrl boundedMailtoURL(const std::vector<EmailAddress> &recipients, const QString &subject,
                      const std::optional<QString> &body, const QString &attachmentFilename,
                      const QString &attachmentText, qsizetype maximumLinkLength = 100 * 1024);

// Starts a message with the text attached as a file named `attachmentFilename`: through the user's mail
// application where it takes attachments (as the Share menu does; such a message starts without the
// recipients and subject, which its command line cannot carry), otherwise as a bounded "mailto:" link
// while the file is shown in the file manager. When no mail application opens the link, the user is told.
void composeEmail(const std::vector<EmailAddress> &recipients, const QString &subject,
                  const std::optional<QString> &body, const QString &attachmentFilename,
                  const QString &attachmentText);

// Replaces the clipboard with `text`, marked as written by this application ("org.nspasteboard.source").
bool copyTextToPasteboard(const QString &text);
// The same with the debug report.
void copyDebugReportToPasteboard();
// Mails the debug report to support as "debug-info.txt".
void emailDebugReport();

// Where the crash reports are kept, and whether there is anything to show there.
struct CrashReportsFolder {
    enum class State { ready, missing, notAFolder, unreadable };
    QString path;
    State state = State::missing;
};
CrashReportsFolder crashReportsFolder(const QString &path);
// Shows our crash-report folder in the file manager; an alert says why when there is none to show (no
// report yet, a link or a file in its place, no permission to read it).
void revealCrashReports();

// Opens the feedback page (with the debug facts), then quits.
void openFeedbackPageAndQuit();

// Removes every setting and the application's own folders, then starts a fresh instance and quits.
void deleteAppDataAndRelaunch();

} // namespace kestrova
