#pragma once

#include "platform/workspace/ApplicationRegistry.h"

#include <QByteArray>
#include <QUrl>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace kestrova::testing {

// An application registry held in memory: `applications` lists what opens each item (by path bytes),
// `applicationsForAnyItem` what opens items not listed there, `installed` every application there is. Every
// open request is recorded and answered with `result` (success unless a test sets a failure).
class FakeApplicationRegistry : public platform::ApplicationRegistry {
public:
    std::vector<platform::Application> applicationsToOpen(const QByteArray &localPath) override {
        asked.push_back(localPath);
        const auto found = applications.find(localPath);
        return found == applications.end() ? applicationsForAnyItem : found->second;
    }
    std::vector<platform::Application> installedApplications() override { return installed; }
    platform::WorkspaceResult open(const QByteArray &localPath, const QUrl &application) override {
        opened.emplace_back(localPath, application);
        return result;
    }

    std::map<QByteArray, std::vector<platform::Application>> applications;
    std::vector<platform::Application> applicationsForAnyItem;
    // What installedApplications answers, in this order.
    std::vector<platform::Application> installed;
    std::vector<QByteArray> asked;
    std::vector<std::pair<QByteArray, QUrl>> opened;
    platform::WorkspaceResult result = platform::WorkspaceResult::done();
};

// Installs a fake registry for as long as it lives.
class ScopedFakeApplicationRegistry {
public:
    ScopedFakeApplicationRegistry() { platform::ApplicationRegistry::setShared(m_registry); }
    ~ScopedFakeApplicationRegistry() { platform::ApplicationRegistry::setShared(nullptr); }
    ScopedFakeApplicationRegistry(const ScopedFakeApplicationRegistry &) = delete;
    ScopedFakeApplicationRegistry &operator=(const ScopedFakeApplicationRegistry &) = delete;

    FakeApplicationRegistry &registry() { return *m_registry; }

private:
    std::shared_ptr<FakeApplicationRegistry> m_registry = std::make_shared<FakeApplicationRegistry>();
};

} // namespace kestrova::testing
