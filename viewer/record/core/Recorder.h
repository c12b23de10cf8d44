#pragma once
// The viewer's recording: what the DVR sends for the layout on screen, handed from the user-interface
// thread (stream blocks) and the decode threads (motion levels) to one writer thread through a queue
// bounded in bytes. Nothing here waits on the disk: a full queue drops the block and counts it, and
// the writer thread reports what happened as events that the view collects on its own thread after
// the `wake` call (which only posts). Neutral: the store's writer comes in through IRecordSink.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace record {

// Where the writer thread writes: the store's writer for one site. Used by that thread only.
class IRecordSink {
public:
    virtual ~IRecordSink() = default;
    // false: a malformed block (the sink still good), or writing failed (Failed() then true).
    virtual bool Append(const uint8_t* block, size_t size, int64_t pcUtcMs) = 0;
    virtual bool AppendMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level) = 0;
    virtual void EndChannel(int channel) = 0;
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
    virtual bool Failed() const = 0;
    virtual std::string Error() const = 0;
    virtual std::string Folder() const = 0;
};

// Opens the sink on the writer thread (a network share may take its time to answer); null with
// `error` set when it cannot.
using SinkOpener = std::function<std::unique_ptr<IRecordSink>(std::string* error)>;

struct RecordCounts {
    uint64_t blocks = 0; // written
    uint64_t bytes = 0; // of those blocks
    uint64_t refused = 0; // malformed blocks the sink refused
    uint64_t lost = 0; // dropped at the full queue
};

struct RecordEvent {
    enum class Kind {
        Opened, // text: the site's folder
        NotOpened, // text: why
        Failed, // text: the sink's error; recording stopped, what was written stays
        Lost, // counts.lost grew since the last report
        Stopped, // the writer closed the sink; counts are the recording's
    };
    Kind kind = Kind::Stopped;
    std::string text;
    RecordCounts counts;
};

class Recorder {
public:
    static constexpr size_t kDefaultQueueBytes = size_t{32} << 20;
    static constexpr int kMaxChannels = 16;

    // `wake` is called on the writer thread after each new event: it must only post.
    explicit Recorder(std::function<void()> wake, size_t queueBytes = kDefaultQueueBytes);
    ~Recorder(); // stops, and waits until what was queued is written and the sink closed
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts a recording written through the sink `open` makes. False while one runs.
    bool Start(SinkOpener open);
    // Ends the recording: the writer thread writes what is queued, closes the sink and reports
    // Stopped. Does not wait for it.
    void Stop();
    // Taking blocks: from Start until Stop or a failure.
    bool Active() const { return active_.load(std::memory_order_relaxed); }

    // The channels the DVR was last asked for (bit n = channel n, whether recording or not). A
    // channel that leaves the set ends its span; its frames are not taken until it is asked for again.
    void SetChannels(uint32_t mask);
    uint32_t Channels() const { return channels_.load(std::memory_order_relaxed); }

    // A video frame of `channel` or an audio block (channel -1), exactly as received, copied.
    void PushBlock(int channel, const uint8_t* block, size_t size, int64_t pcUtcMs);
    // Any thread.
    void PushMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level);

    // The events since the last call, oldest first (the view's thread).
    std::vector<RecordEvent> TakeEvents();

private:
    struct Item {
        enum class Kind { Block, Motion, EndChannel, Stop } kind = Kind::Block;
        int channel = -1;
        uint32_t seconds = 0;
        uint8_t level = 0;
        int64_t pcUtcMs = 0;
        std::vector<uint8_t> data;
    };
    bool Enqueue(Item&& item, size_t bytes);
    void Run(SinkOpener open);
    void Report(RecordEvent event);
    void Join();

    std::function<void()> wake_;
    const size_t queueBytes_;
    std::atomic<bool> active_{false};
    std::atomic<uint32_t> channels_{0};
    std::mutex lock_; // guards the queue, its byte count, lost_ and the events
    std::condition_variable ready_;
    std::deque<Item> queue_;
    size_t queuedBytes_ = 0;
    uint64_t lost_ = 0;
    std::vector<RecordEvent> events_;
    std::thread writer_;
};

} // namespace record
