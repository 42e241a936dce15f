#pragma once

#include <memory>
#include <mutex>

namespace kestrova::platform {

// The process-wide instance of a platform service: the desktop installs its realization at start-up, tests
// a fake; until then, and after an empty install, `Fallback` answers (without a desktop, doing nothing).
template <typename Service, typename Fallback> class SharedService {
public:
    Service &get() {
        std::lock_guard lock(m_mutex);
        return *m_service;
    }
    // For a holder that keeps using the service after another may have been set.
    std::shared_ptr<Service> pointer() {
        std::lock_guard lock(m_mutex);
        return m_service;
    }
    void set(std::shared_ptr<Service> service) {
        std::lock_guard lock(m_mutex);
        m_service = service ? std::move(service) : std::make_shared<Fallback>();
    }

private:
    std::mutex m_mutex;
    std::shared_ptr<Service> m_service = std::make_shared<Fallback>();
};

} // namespace kestrova::platform
