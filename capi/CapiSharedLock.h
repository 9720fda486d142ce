#pragma once
// libcapi20 keeps its table of application ids in shared memory guarded by a named semaphore,
// which every process that loads the library takes for a moment (when it loads, registers,
// releases and unloads). A process killed in such a moment leaves it taken for good: every later
// process then hangs as it loads the library, and the line never comes back.

#include <chrono>
#include <string>

// The name libcapi20 (shared-memory layout 0x01000010) gives its semaphore.
inline const std::string CapiSharedLockName = "/CAPI20_shared_sem.v01000010";

// Waits up to `patience` for the lock; when nobody gives it back meanwhile, it was left taken
// by a process that is gone: it is released, and the answer is true. False when the lock is free
// or does not exist (no process has loaded the library since the machine started).
bool ReleaseStuckCapiLock(const std::string& name, std::chrono::milliseconds patience);
