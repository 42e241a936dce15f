#include "SupportActions.h"

#include "foundation/app/DataAndSettings.h"
#include "foundation/app/DebugInformation.h"
#include "foundation/app/KvApp.h"
#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/files/TemporaryDirectory.h"
#include "platform/alerts/Alert.h"
#include "platform/reports/CrashReporter.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/workspace/SharingServices.h"
#include "platform/workspace/Workspace.h"
#include "ui-kit/utilities/UrlOpener.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <map>

namespace kestrova {
namespace {

QString joinedAddresses(const std::vector<EmailAddress> &addresses) {
    QStringList texts;
    for (const EmailAddress &address : addresses)
        texts << address.rawValue();
    return texts.join(QLatin1Char(','));
}

QByteArray encoded(const QString &text) {
    // Only the unreserved characters stay: "+" and "&" in a body must not read as a space or a new item.
    return QUrl::toPercentEncoding(text);
}

void showAlert(const QString &title, const QString &message) {
    platform::Alert alert = makeAlert({.title = title, .message = message});
    platform::AlertPresenter::shared().runModal(alert);
}

// The attachment must outlive the mail application's reading of it: kept until the application ends.
std::optional<QUrl> keepAttachment(const QString &attachmentFilename, const QString &attachmentText) {
    static std::vector<url::TemporaryFile> kept;
    try {
        const QString baseName = QFileInfo(attachmentFilename).completeBaseName();
        kept.push_back(
            url::writeToUniqueTemporaryFile(attachmentText, baseName, QStringLiteral("text/plain")));
        return kept.back().url;
    } catch (const Error &error) {
        KvApp::reportError(error);
        return std::nullopt;
    }
}

} // namespace

QUrl mailtoURL(const std::vector<EmailAddress> &recipients, const std::optional<QString> &subject,
               const std::optional<QString> &body, const std::vector<EmailAddress> &cc,
               const std::vector<EmailAddress> &bcc) {
    std::map<QString, QString> items;
    if (subject)
        items[QStringLiteral("subject")] = *subject;
    if (body)
        items[QStringLiteral("body")] = *body;
    if (!cc.empty())
        items[QStringLiteral("cc")] = joinedAddresses(cc);
    if (!bcc.empty())
        items[QStringLiteral("bcc")] = joinedAddresses(bcc);
    QByteArrayList query;
    for (const auto &[name, value] : items)
        query << encoded(name) + '=' + encoded(value);
    QByteArray link =
        "mailto:" + encoded(joinedAddresses(recipients)).replace("%40", "@").replace("%2C", ",");
    if (!query.isEmpty())
        link += '?' + query.join('&');
    return QUrl::fromEncoded(link, QUrl::StrictMode);
}

QString mailtoBodyWithAttachment(const std::optional<QString> &body, const QString &attachmentFilename,
                                 const QString &attachmentText) {
    return body.value_or(QString()) + QStringLiteral("\n\n\n\n") + attachmentFilename + QLatin1Char('\n') +
           QString(30, QLatin1Char('-')) + QStringLiteral("\n\n") + attachmentText;
}

QUrl boundedMailtoURL(const std::vector<EmailAddress> &recipients, const QString &subject,
                      const std::optional<QString> &body, const QString &attachmentFilename,
                      const QString &attachmentText, qsizetype maximumLinkLength) {
    const auto linkWith = [&](const QString &text) {
        return mailtoURL(recipients, subject, mailtoBodyWithAttachment(body, attachmentFilename, text));
    };
    QUrl link = linkWith(attachmentText);
    if (link.toEncoded().size() <= maximumLinkLength)
        return link;
    const QString note =
        QStringLiteral("\n…\n(cut short: the whole text is in the file %1)").arg(attachmentFilename);
    // Each cut keeps the share of the text that fits; encoding is not even (a letter is one byte, a line
    // feed three), so a few rounds may be needed.
    qsizetype kept = attachmentText.size();
    while (kept > 0) {
        const double overshoot = double(link.toEncoded().size()) / double(maximumLinkLength);
        kept = std::min(kept - 1, qsizetype(double(kept) / overshoot) - 16);
        kept = std::max<qsizetype>(kept, 0);
        // Never split a surrogate pair.
        if (kept > 0 && attachmentText.at(kept - 1).isHighSurrogate())
            --kept;
        link = linkWith(attachmentText.left(kept) + note);
        if (link.toEncoded().size() <= maximumLinkLength)
            return link;
    }
    return link;
}

void composeEmail(const std::vector<EmailAddress> &recipients, const QString &subject,
                  const std::optional<QString> &body, const QString &attachmentFilename,
                  const QString &attachmentText) {
    const std::optional<QUrl> attachment = keepAttachment(attachmentFilename, attachmentText);
    if (attachment) {
        for (const auto &service : platform::SharingServices::shared().servicesForItems({*attachment})) {
            if (service->perform({*attachment}).succeeded)
                return;
        }
    }
    const QUrl link = boundedMailtoURL(recipients, subject, body, attachmentFilename, attachmentText);
    if (!UrlOpener::open(link))
        return;
    // The text in the message may be cut short: the file is at hand to attach by hand.
    if (attachment)
        platform::Workspace::shared().reveal(*attachment);
}

bool copyTextToPasteboard(const QString &text) {
    platform::PasteboardItem item;
    item.setString(text, QString::fromLatin1(platform::PasteboardType::string));
    item.setString(KvApp::id(), QString::fromLatin1(platform::PasteboardType::source));
    platform::Pasteboard &pasteboard = platform::Pasteboard::general();
    pasteboard.clearContents();
    return pasteboard.writeObjects({item});
}

void copyDebugReportToPasteboard() {
    copyTextToPasteboard(KvApp::debugReportText());
}

void emailDebugReport() {
    composeEmail({EmailAddress::support()}, KvApp::name() + QStringLiteral(" — Debug info"), std::nullopt,
                 QStringLiteral("debug-info.txt"), KvApp::debugReportText());
}

CrashReportsFolder crashReportsFolder(const QString &path) {
    const QFileInfo info(path);
    CrashReportsFolder folder{path, CrashReportsFolder::State::ready};
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        folder.state = CrashReportsFolder::State::notAFolder;
    else if (!info.exists())
        folder.state = CrashReportsFolder::State::missing;
    else if (!info.isReadable() || !info.isExecutable())
        folder.state = CrashReportsFolder::State::unreadable;
    return folder;
}

void revealCrashReports() {
    const CrashReportsFolder folder =
        crashReportsFolder(platform::CrashReporter::shared().reportsDirectory());
    const QString title = QStringLiteral("Crash Reports Cannot Be Shown");
    switch (folder.state) {
    case CrashReportsFolder::State::ready: {
        const platform::WorkspaceResult result =
            platform::Workspace::shared().reveal(QUrl::fromLocalFile(folder.path));
        if (!result.succeeded)
            showAlert(title, QStringLiteral("“%1” could not be shown in the file manager. %2")
                                 .arg(QDir::toNativeSeparators(folder.path), result.message));
        return;
    }
    case CrashReportsFolder::State::missing:
        showAlert(QStringLiteral("No Crash Reports"),
                  QStringLiteral("%1 has not written any crash report: the folder “%2” does not exist.")
                      .arg(KvApp::name(), QDir::toNativeSeparators(folder.path)));
        return;
    case CrashReportsFolder::State::notAFolder:
        showAlert(title, QStringLiteral("“%1” is not a folder of %2's (it is a link or a file), so it is "
                                        "not shown.")
                             .arg(QDir::toNativeSeparators(folder.path), KvApp::name()));
        return;
    case CrashReportsFolder::State::unreadable:
        showAlert(title, QStringLiteral("You do not have permission to open the folder “%1”.")
                             .arg(QDir::toNativeSeparators(folder.path)));
        return;
    }
}

void openFeedbackPageAndQuit() {
    if (UrlOpener::open(KvApp::feedbackPageURL()))
        KvApp::quit();
}

void deleteAppDataAndRelaunch() {
    KvApp::deleteDataAndSettings();
    KvApp::startRelaunch(/*exitImmediately=*/false, /*showSettings=*/false);
}

} // namespace kestrova
