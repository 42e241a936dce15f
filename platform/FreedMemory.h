#pragma once

#include <chrono>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define KESTROVA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTROVA_ADDRESS_SANITIZER 1
#endif
#endif

namespace kestrova::platform {

// Gives the pages the allocator keeps for reuse back to the system. Under AddressSanitizer the C library's
// allocator is never used, and trimming its heaps, when first done from two threads at once, reads a heap
// list that is not set up yet: nothing is done there.
inline void giveBackFreedMemory() {
#if defined(__GLIBC__) && !defined(KESTROVA_ADDRESS_SANITIZER)
    malloc_trim(0);
#endif
}

// The same, off the main thread once nothing more was asked for a while and the main thread's loop is
// idle; from any thread. Trimming holds the heap of the main thread, whose loop waits for it at its next
// allocation: tens of milliseconds after a long menu. Requests close together make one trim.
void giveBackFreedMemorySoon();
inline constexpr std::chrono::milliseconds kQuietBeforeGivingBack{500};
inline constexpr std::chrono::seconds kLongestWaitForIdle{10};

} // namespace kestrova::platform
