// `dvrtool record --store` as a program against the simulator: killed in the middle of writing it
// leaves everything but the last second readable; a DVR that drops the connection is recorded on
// into the same store.
#include "Catalogue.h"
#include "ServedSimulator.h"
#include "SiteRecorder.h"
#include "StoreReader.h"
#include "wire/StreamFrame.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

int64_t UtcMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// dvrtool record --store with its log on a pipe.
class RecorderProcess {
public:
    RecorderProcess(const std::string& store, uint16_t port, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {DVRTOOL_EXE,  "record", "--store", store,  "--address", "127.0.0.1",
                                          "--port",     std::to_string(port),  "--user", "admin", "--password",
                                          "1111",       "--segment-seconds",   "10"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        if (posix_spawn(&pid_, DVRTOOL_EXE, &fa, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        log_ = fds[0];
    }
    ~RecorderProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (log_ >= 0)
            close(log_);
    }
    bool Started() const { return pid_ > 0; }

    // Reads the log until a line holding `text` has come `times` times, at most timeoutMs.
    bool WaitFor(const std::string& text, int times, int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int seen = 0;
            for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
                ++seen;
            if (seen >= times)
                return true;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0 || !ReadSome(static_cast<int>(left)))
                return false;
        }
    }
    // Ends the process with `signal` and returns its exit status (waitpid's).
    int End(int signal)
    {
        kill(pid_, signal);
        int st = 0;
        while (ReadSome(20000)) {
        }
        waitpid(pid_, &st, 0);
        pid_ = 0;
        return st;
    }
    std::string log;

private:
    bool ReadSome(int timeoutMs)
    {
        pollfd p{log_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = read(log_, buf, sizeof buf);
        if (n <= 0)
            return false;
        log.append(buf, size_t(n));
        return true;
    }
    pid_t pid_ = 0;
    int log_ = -1;
};

std::unique_ptr<dvrsim::ServedSimulator> StartSimulator(const std::string& name, dvrsim::Options o)
{
    cmdline::Program app;
    for (auto& e : dvrsim::Extensions())
        e->AddOptions(app);
    std::vector<std::string> args{"--video", "cif", "--video-seconds", "1"};
    app.Parse(args);
    o.channels = 2;
    auto sim = std::make_unique<dvrsim::ServedSimulator>(dvrsim::TestOptions(::testing::TempDir(), name, o));
    std::string err;
    if (!sim->Start(err))
        ADD_FAILURE() << err;
    return sim;
}

struct Frame {
    uint32_t sequence = 0;
    int64_t pcUtcMs = 0;
};
struct ReadBack {
    std::string error, folder;
    std::vector<Frame> video[2];
};

// Both cameras' frames through the store's reader, from the site folder the recorder logged.
ReadBack ReadSite(const std::string& log)
{
    ReadBack back;
    const size_t at = log.find(" into ");
    if (at == std::string::npos) {
        back.error = "no site folder in the log";
        return back;
    }
    const std::string folder = back.folder = log.substr(at + 6, log.find('\n', at) - at - 6);
    for (int ch = 0; ch < 2; ++ch) {
        auto reader = store::StoreReader::Open(folder, ch, false, &back.error);
        if (!reader)
            return back;
        reader->Seek(0);
        store::Record r;
        wire::VideoFrameHeader h;
        while (reader->Next(&r))
            if (wire::ParseVideoFrameHeader(r.block.data(), r.block.size(), h))
                back.video[ch].push_back({h.sequence, r.pcMs});
    }
    return back;
}

std::string FreshStore(const std::string& name)
{
    const std::string dir = ::testing::TempDir() + name + "_" + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    return dir;
}

} // namespace

TEST(SiteRecorder, PausesDoubleToTheLongestAndStartOverAfterAGoodConnection)
{
    recorder::RetryPause p(1000, 60000);
    std::vector<int> got;
    for (int i = 0; i < 9; ++i)
        got.push_back(p.Next());
    EXPECT_EQ((std::vector<int>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}), got);
    p.Reset();
    EXPECT_EQ(1000, p.Next());
    EXPECT_EQ("1-3,5,16", recorder::CameraList(0x8017));
}

TEST(SiteRecorderProgram, KilledWhileWritingKeepsAllButTheLastSecond)
{
    auto sim = StartSimulator("site_recorder_kill", {});
    const std::string store = FreshStore("site_recorder_kill");
    RecorderProcess rec(store, sim->Port());
    ASSERT_TRUE(rec.Started());
    ASSERT_TRUE(rec.WaitFor("connected:", 1, 20000)) << rec.log;
    usleep(3000 * 1000); // a few seconds of both cameras, into the middle of the writing
    const int64_t killedAt = UtcMs();
    const int st = rec.End(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL) << rec.log;

    const ReadBack back = ReadSite(rec.log);
    ASSERT_TRUE(back.error.empty()) << back.error;
    for (int ch = 0; ch < 2; ++ch) {
        const auto& frames = back.video[size_t(ch)];
        ASSERT_GT(frames.size(), 20u) << "camera " << ch + 1;
        // Nothing missing in the middle: the simulator loses no frame, so the sequence runs on.
        for (size_t i = 1; i < frames.size(); ++i)
            ASSERT_EQ(frames[i - 1].sequence + 1, frames[i].sequence) << "camera " << ch + 1 << " frame " << i;
        // The last second may be lost, no more (the flush runs every second, checked every 250 ms).
        EXPECT_GE(frames.back().pcUtcMs, killedAt - 1500) << "camera " << ch + 1;
    }
}

TEST(SiteRecorderProgram, RecordsOnIntoTheSameStoreWhenTheDvrDrops)
{
    dvrsim::Options o;
    o.dropAfterSeconds = 2;
    auto sim = StartSimulator("site_recorder_drop", o);
    const std::string store = FreshStore("site_recorder_drop");
    RecorderProcess rec(store, sim->Port(), {"--no-audio", "--motion"});
    ASSERT_TRUE(rec.Started());
    ASSERT_TRUE(rec.WaitFor("connected:", 3, 30000)) << rec.log;
    ASSERT_TRUE(rec.WaitFor("connection lost: ", 2, 10000)) << rec.log;
    usleep(1200 * 1000);
    const int64_t stoppedAt = UtcMs();
    const int st = rec.End(SIGTERM);
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << rec.log;
    EXPECT_NE(std::string::npos, rec.log.find("stopped: ")) << rec.log;
    // A short log: one line per change of state.
    EXPECT_LT(std::count(rec.log.begin(), rec.log.end(), '\n'), 16) << rec.log;

    const ReadBack back = ReadSite(rec.log);
    ASSERT_TRUE(back.error.empty()) << back.error;
    for (int ch = 0; ch < 2; ++ch) {
        const auto& frames = back.video[size_t(ch)];
        ASSERT_FALSE(frames.empty());
        // Every connection's frames are there: each new connection's stream starts over at sequence 0
        // or jumps, with a pause of about a second in the PC's time between them.
        int spans = 1;
        for (size_t i = 1; i < frames.size(); ++i)
            spans += frames[i].pcUtcMs - frames[i - 1].pcUtcMs > 700 ? 1 : 0;
        EXPECT_GE(spans, 3) << "camera " << ch + 1;
        EXPECT_GE(frames.back().pcUtcMs, stoppedAt - 1500) << "camera " << ch + 1;
    }
    // Motion marks were kept for both cameras.
    const store::Catalogue cat(back.folder);
    size_t marked[2] = {};
    for (uint32_t day : cat.Days())
        for (int ch = 0; ch < 2; ++ch)
            for (uint8_t level : cat.Motion(ch, day))
                marked[ch] += level != 255;
    EXPECT_GE(marked[0], 3u);
    EXPECT_GE(marked[1], 3u);
}
