#include "stop.h"

#include <atomic>

namespace stop {
namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> flag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void request() { flag.store(true, std::memory_order_relaxed); }
bool requested() { return flag.load(std::memory_order_relaxed); }
void clear() { flag.store(false, std::memory_order_relaxed); }

}  // namespace stop
