#include "CameraWork.h"
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

using player::CameraWork;

// Every job runs exactly once per batch, over many batches, whatever the helpers' count; a job
// that throws ends alone; when Run returns, every job's writes are there to read.
TEST(CameraWork, EveryJobOnceAndDoneOnReturn)
{
    for (unsigned helpers : {0u, 1u, 3u}) {
        CameraWork work(helpers);
        EXPECT_EQ(helpers, work.Helpers());
        for (int batch = 0; batch < 300; ++batch) {
            const size_t n = 1 + static_cast<size_t>(batch % 16);
            std::vector<int> ran(n, 0); // plain ints: a race here is TSan's to find
            std::vector<std::function<void()>> jobs;
            for (size_t i = 0; i < n; ++i)
                jobs.emplace_back([&ran, i] {
                    ++ran[i];
                    if (i == 2)
                        throw std::runtime_error("a camera's decoder failed");
                });
            work.Run(jobs);
            for (size_t i = 0; i < n; ++i)
                ASSERT_EQ(1, ran[i]) << "helpers " << helpers << " batch " << batch << " job " << i;
        }
    }
}

// The cameras really run side by side: two jobs that each wait for the other end only if they run
// at once (with a helper), and the caller's thread takes a share.
TEST(CameraWork, JobsRunSideBySide)
{
    CameraWork work(1);
    std::atomic<int> arrived{0};
    std::set<std::thread::id> threads;
    std::mutex m;
    auto meet = [&] {
        {
            std::lock_guard<std::mutex> g(m);
            threads.insert(std::this_thread::get_id());
        }
        ++arrived;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived.load() < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    };
    work.Run({meet, meet});
    EXPECT_EQ(2, arrived.load());
    EXPECT_EQ(2u, threads.size());
}

} // namespace
