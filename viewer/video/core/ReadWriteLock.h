#pragma once
// A lock that many readers hold at once, or one writer: std::shared_mutex's interface, for
// std::shared_lock and std::unique_lock. On Windows it is a slim reader/writer lock, which holds no
// kernel object: the MinGW runtime's std::shared_mutex keeps two handles of every lock that was
// once taken, after the lock is gone (two per opened stream of pictures, and a player opens one
// each time).
#ifdef _WIN32

namespace video {

class ReadWriteLock {
public:
    ReadWriteLock() = default;
    ReadWriteLock(const ReadWriteLock&) = delete;
    ReadWriteLock& operator=(const ReadWriteLock&) = delete;

    void lock();
    void unlock();
    void lock_shared();
    void unlock_shared();

private:
    void* srw_ = nullptr; // SRWLOCK_INIT: one pointer, zero
};

} // namespace video

#else
#include <shared_mutex>

namespace video {
using ReadWriteLock = std::shared_mutex;
} // namespace video

#endif
