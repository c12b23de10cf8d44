#include "ReadWriteLock.h"
#include <windows.h>

namespace video {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "a slim reader/writer lock is one pointer");

namespace {
PSRWLOCK Srw(void** p) { return reinterpret_cast<PSRWLOCK>(p); }
} // namespace

void ReadWriteLock::lock() { AcquireSRWLockExclusive(Srw(&srw_)); }
void ReadWriteLock::unlock() { ReleaseSRWLockExclusive(Srw(&srw_)); }
void ReadWriteLock::lock_shared() { AcquireSRWLockShared(Srw(&srw_)); }
void ReadWriteLock::unlock_shared() { ReleaseSRWLockShared(Srw(&srw_)); }

} // namespace video
