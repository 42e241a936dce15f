#include "SharingServices.h"

#include "platform/SharedService_p.h"

namespace kestrova::platform {

namespace {

class NoSharingServices final : public SharingServices {
public:
    std::vector<std::shared_ptr<SharingService>> servicesForItems(const std::vector<QUrl> &) override {
        return {};
    }
};

SharedService<SharingServices, NoSharingServices> &sharedServices() {
    static SharedService<SharingServices, NoSharingServices> shared;
    return shared;
}

} // namespace

SharingServices &SharingServices::shared() {
    return sharedServices().get();
}

void SharingServices::setShared(std::shared_ptr<SharingServices> services) {
    sharedServices().set(std::move(services));
}

} // namespace kestrova::platform
