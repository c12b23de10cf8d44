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

    // `wake` is called on the writer thread after each new event: it must only post. It is not
    // called once the Recorder is gone.
    explicit Recorder(std::function<void()> wake, size_t queueBytes = kDefaultQueueBytes);
    // Stops, and does not wait: a writer still closing is handed to ClosingWriters (below).
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts a recording written through the sink `open` makes. False while one runs. Never waits:
    // when the last recording's writer is still closing, the new writer waits for it on its own
    // thread before it opens the sink (one writer at a time in a store); what arrives meanwhile is
    // queued for it.
    bool Start(SinkOpener open);
    // Ends the recording: the writer thread writes what is queued, closes the sink and reports
    // Stopped. Does not wait for it.
    void Stop();
    // Taking blocks: from Start until Stop or a failure.
    bool Active() const { return ActiveGeneration() != 0; }

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

    struct State; // what the writer threads share with the Recorder; outlives it while they run

private:
    uint64_t ActiveGeneration() const;

    std::shared_ptr<State> state_;
    std::atomic<uint32_t> channels_{0};
    std::thread writer_; // the newest writer; it joins the one before it
    std::shared_ptr<std::atomic<bool>> writerDone_;
};

// Writers whose Recorder went while they were still closing a store (the view was closed during a
// slow close). Process-wide because they outlive every view: a module that runs Recorders must not
// unload while this answers more than 0. Joins the writers that have ended, which takes no time.
size_t ClosingWriters();

} // namespace record
