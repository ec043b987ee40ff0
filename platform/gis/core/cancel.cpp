// The request to stop the work under way, shared by every object of the stand-in.
#include <atomic>

#include <win32/com_error.h>

#include "gis/core.h"

namespace gis {

namespace {
std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "RequestCancel must be usable in a signal handler");
}  // namespace

void RequestCancel() { g_cancel.store(true, std::memory_order_relaxed); }
bool CancelRequested() { return g_cancel.load(std::memory_order_relaxed); }
void ResetCancel() { g_cancel.store(false, std::memory_order_relaxed); }

void ThrowIfCancelled() {
  if (CancelRequested()) win32::throw_hr(E_ABORT, "cancelled");
}

}  // namespace gis
