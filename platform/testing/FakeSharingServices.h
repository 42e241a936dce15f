#pragma once

#include "platform/workspace/SharingServices.h"

#include <QUrl>

#include <memory>
#include <vector>

namespace kestrova::testing {

// A sharing service that records the items of every request and answers with `result`.
class RecordingSharingService : public platform::SharingService {
public:
    explicit RecordingSharingService(QString title)
        : m_title(std::move(title)) {}

    QString title() const override { return m_title; }
    QImage image() const override { return {}; }
    platform::WorkspaceResult perform(const std::vector<QUrl> &items) override {
        performed.push_back(items);
        return result;
    }

    std::vector<std::vector<QUrl>> performed;
    platform::WorkspaceResult result = platform::WorkspaceResult::done();

private:
    QString m_title;
};

// Offers `services` for any non-empty list of items, and records the lists it was asked about.
class FakeSharingServices : public platform::SharingServices {
public:
    std::vector<std::shared_ptr<platform::SharingService>>
    servicesForItems(const std::vector<QUrl> &items) override {
        asked.push_back(items);
        if (items.empty())
            return {};
        return {services.begin(), services.end()};
    }

    std::vector<std::shared_ptr<RecordingSharingService>> services;
    std::vector<std::vector<QUrl>> asked;
};

// Installs fake sharing services for as long as it lives.
class ScopedFakeSharingServices {
public:
    ScopedFakeSharingServices() { platform::SharingServices::setShared(m_services); }
    ~ScopedFakeSharingServices() { platform::SharingServices::setShared(nullptr); }
    ScopedFakeSharingServices(const ScopedFakeSharingServices &) = delete;
    ScopedFakeSharingServices &operator=(const ScopedFakeSharingServices &) = delete;

    FakeSharingServices &services() { return *m_services; }

private:
    std::shared_ptr<FakeSharingServices> m_services = std::make_shared<FakeSharingServices>();
};

} // namespace kestrova::testing
