#include "CameraWork.h"
#include <algorithm>

namespace player {

CameraWork::CameraWork(unsigned helpers)
{
    for (unsigned i = 0; i < helpers; ++i)
        threads_.emplace_back([this] { Help(); });
}

CameraWork::CameraWork() : CameraWork(std::min(3u, std::max(1u, std::thread::hardware_concurrency()) - 1)) {}

CameraWork::~CameraWork()
{
    {
        std::lock_guard<std::mutex> g(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void CameraWork::TakeJobs()
{
    const std::vector<std::function<void()>>& jobs = *jobs_;
    size_t ran = 0;
    for (size_t i = next_.fetch_add(1); i < jobs.size(); i = next_.fetch_add(1)) {
        try {
            jobs[i]();
        } catch (...) {
        }
        ++ran;
    }
    if (ran) {
        std::lock_guard<std::mutex> g(lock_);
        finished_ += ran;
    }
}

void CameraWork::Help()
{
    unsigned long long seen = 0;
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
        wake_.wait(g, [&] { return quit_ || (jobs_ && batch_ != seen); });
        if (quit_)
            return;
        seen = batch_;
        ++busy_;
        g.unlock();
        TakeJobs();
        g.lock();
        --busy_;
        done_.notify_all();
    }
}

void CameraWork::Run(const std::vector<std::function<void()>>& jobs)
{
    if (jobs.empty())
        return;
    if (threads_.empty() || jobs.size() == 1) {
        for (const auto& job : jobs) {
            try {
                job();
            } catch (...) {
            }
        }
        return;
    }
    {
        std::lock_guard<std::mutex> g(lock_);
        jobs_ = &jobs;
        next_.store(0);
        finished_ = 0;
        ++batch_;
    }
    wake_.notify_all();
    TakeJobs();
    std::unique_lock<std::mutex> g(lock_);
    // Every job ended, and no helper still looks at this batch's list when it goes.
    done_.wait(g, [&] { return finished_ == jobs.size() && busy_ == 0; });
    jobs_ = nullptr;
}

} // namespace player
