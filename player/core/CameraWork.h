#pragma once
// What one step of playing hands each camera is decoded side by side: each camera's pictures in
// their order on one thread, different cameras on different threads (a camera's decoder is used by
// one thread at a time). The calling thread takes its share and returns when every camera's work
// has ended, so the caller sees the step done as before, only sooner on a machine with more cores.
// One caller at a time.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace player {

class CameraWork {
public:
    // helpers: threads beside the caller's (0: everything on the caller's thread).
    explicit CameraWork(unsigned helpers);
    // The machine's cores less the caller's, at most three helpers.
    CameraWork();
    ~CameraWork();
    CameraWork(const CameraWork&) = delete;
    CameraWork& operator=(const CameraWork&) = delete;

    // Runs every job once and returns when all have ended. A job that throws ends there; the
    // others run on.
    void Run(const std::vector<std::function<void()>>& jobs);
    unsigned Helpers() const { return static_cast<unsigned>(threads_.size()); }

private:
    void Help();
    void TakeJobs();

    std::mutex lock_;
    std::condition_variable wake_, done_;
    const std::vector<std::function<void()>>* jobs_ = nullptr; // under lock_ while a batch runs
    std::atomic<size_t> next_{0};
    size_t finished_ = 0; // under lock_
    unsigned busy_ = 0; // helpers inside the batch, under lock_
    unsigned long long batch_ = 0; // under lock_
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

} // namespace player
