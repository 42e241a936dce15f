#pragma once

#include <QString>

#include <optional>
#include <mutex>
#include <shared_mutex>
#include <type_traits>
#include <utility>

namespace kestrova {

// A lock that lets several readers in at once and a writer alone.
//
// Reads run the closure on the calling thread under a shared hold and hand back its result; anything the
// closure throws reaches the caller. Writes take the lock exclusively and run before `write` returns, so a
// write is ordered after every read and write that started before it and before every one that starts
// after it, and a thread always sees its own writes. Calling `read` or `write` from inside a block of the
// same lock deadlocks and must not be done. The label only names the lock for debugging.
class ReadersWriterLock {
public:
    // No label gives "org.kestrova.Kestrova.readersWriterLock".
    explicit ReadersWriterLock(std::optional<QString> label = std::nullopt);
    ReadersWriterLock(const ReadersWriterLock &) = delete;
    ReadersWriterLock &operator=(const ReadersWriterLock &) = delete;

    const QString &label() const { return m_label; }

    template <typename Body> std::invoke_result_t<Body> read(Body &&body) const {
        std::shared_lock hold(m_mutex);
        return std::forward<Body>(body)();
    }

    template <typename Body> void write(Body &&body) {
        std::unique_lock hold(m_mutex);
        std::forward<Body>(body)();
    }

private:
    QString m_label;
    mutable std::shared_mutex m_mutex;
};

} // namespace kestrova
