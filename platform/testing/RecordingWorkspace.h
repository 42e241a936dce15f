#pragma once

#include "platform/workspace/Workspace.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <utility>
#include <vector>

namespace kestrova::testing {

// A workspace that records every request ("open", "reveal", "showProperties", "moveToTrash") and answers
// with `result` (success unless a test sets a failure).
class RecordingWorkspace : public platform::Workspace {
public:
    platform::WorkspaceResult open(const QUrl &url) override { return record(QStringLiteral("open"), url); }
    platform::WorkspaceResult reveal(const QUrl &url) override {
        return record(QStringLiteral("reveal"), url);
    }
    platform::WorkspaceResult showProperties(const QUrl &url) override {
        return record(QStringLiteral("showProperties"), url);
    }
    platform::WorkspaceResult moveToTrash(const QUrl &url) override {
        return record(QStringLiteral("moveToTrash"), url);
    }

    std::vector<std::pair<QString, QUrl>> requests;
    platform::WorkspaceResult result = platform::WorkspaceResult::done();

private:
    platform::WorkspaceResult record(const QString &request, const QUrl &url) {
        requests.emplace_back(request, url);
        return result;
    }
};

// Installs a recording workspace for as long as it lives.
class ScopedRecordingWorkspace {
public:
    ScopedRecordingWorkspace() { platform::Workspace::setShared(m_workspace); }
    ~ScopedRecordingWorkspace() { platform::Workspace::setShared(nullptr); }
    ScopedRecordingWorkspace(const ScopedRecordingWorkspace &) = delete;
    ScopedRecordingWorkspace &operator=(const ScopedRecordingWorkspace &) = delete;

    RecordingWorkspace &workspace() { return *m_workspace; }

private:
    std::shared_ptr<RecordingWorkspace> m_workspace = std::make_shared<RecordingWorkspace>();
};

} // namespace kestrova::testing
