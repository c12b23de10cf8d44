#include "Recorder.h"
#include <chrono>
#include <map>

namespace record {

namespace {

struct Item {
    enum class Kind { Block, Motion, EndChannel, Stop } kind = Kind::Block;
    uint64_t generation = 0; // the recording it belongs to
    int channel = -1;
    uint32_t seconds = 0;
    uint8_t level = 0;
    int64_t pcUtcMs = 0;
    std::vector<uint8_t> data;
};

} // namespace

// One queue for every recording: a recording's items end with its Stop, and the next recording's
// writer starts only after the last one ended, so each writer takes only items of its own
// generation and passes over those of one that failed before its Stop.
struct Recorder::State {
    explicit State(std::function<void()> w, size_t bound) : wake(std::move(w)), queueBytes(bound) {}
    std::function<void()> wake; // under lock; cleared when the Recorder goes
    const size_t queueBytes;
    std::atomic<uint64_t> active{0}; // the generation taking blocks, 0 for none
    uint64_t generations = 0; // the user-interface thread's
    std::mutex lock; // guards the queue, its byte count, lost, the events and wake
    std::condition_variable ready;
    std::deque<Item> queue;
    size_t queuedBytes = 0;
    std::map<uint64_t, uint64_t> lost; // dropped at the full queue, by generation
    std::vector<RecordEvent> events;

    bool Enqueue(Item&& item, size_t bytes)
    {
        {
            std::lock_guard<std::mutex> l(lock);
            if (bytes && queuedBytes + bytes > queueBytes) {
                ++lost[item.generation];
                return false;
            }
            queuedBytes += bytes;
            queue.push_back(std::move(item));
        }
        ready.notify_one();
        return true;
    }

    void Report(RecordEvent event)
    {
        std::lock_guard<std::mutex> l(lock);
        events.push_back(std::move(event));
        if (wake)
            wake(); // only posts
    }

    void Run(uint64_t generation, SinkOpener open);
};

namespace {

struct Closing {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

std::mutex& ClosingLock()
{
    static std::mutex* m = new std::mutex; // never destroyed: a process may end with writers in it
    return *m;
}

std::vector<Closing>& ClosingList()
{
    static auto* list = new std::vector<Closing>;
    return *list;
}

} // namespace

size_t ClosingWriters()
{
    std::lock_guard<std::mutex> l(ClosingLock());
    auto& list = ClosingList();
    for (auto it = list.begin(); it != list.end();) {
        if (it->done->load()) {
            it->thread.join(); // it has returned from its work: only its exit is left
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    return list.size();
}

Recorder::Recorder(std::function<void()> wake, size_t queueBytes)
    : state_(std::make_shared<State>(std::move(wake), queueBytes))
{
}

Recorder::~Recorder()
{
    Stop();
    {
        std::lock_guard<std::mutex> l(state_->lock);
        state_->wake = nullptr;
    }
    if (!writer_.joinable())
        return;
    if (writerDone_->load()) {
        writer_.join();
        return;
    }
    std::lock_guard<std::mutex> l(ClosingLock());
    ClosingList().push_back({std::move(writer_), std::move(writerDone_)});
}

uint64_t Recorder::ActiveGeneration() const { return state_->active.load(std::memory_order_relaxed); }

bool Recorder::Start(SinkOpener open)
{
    if (Active() || !open)
        return false;
    std::thread previous;
    if (writer_.joinable()) {
        if (writerDone_->load())
            writer_.join();
        else
            previous = std::move(writer_); // still closing: the new writer waits for it
    }
    const uint64_t generation = ++state_->generations;
    {
        std::lock_guard<std::mutex> l(state_->lock);
        state_->lost[generation] = 0;
    }
    state_->active.store(generation);
    writerDone_ = std::make_shared<std::atomic<bool>>(false);
    writer_ = std::thread([state = state_, generation, open = std::move(open), previous = std::move(previous),
                           done = writerDone_]() mutable {
        if (previous.joinable())
            previous.join();
        state->Run(generation, std::move(open));
        done->store(true);
    });
    return true;
}

void Recorder::Stop()
{
    const uint64_t generation = state_->active.exchange(0);
    if (!generation)
        return;
    Item stop;
    stop.kind = Item::Kind::Stop;
    stop.generation = generation;
    state_->Enqueue(std::move(stop), 0);
}

void Recorder::SetChannels(uint32_t mask)
{
    const uint32_t gone = channels_.exchange(mask) & ~mask;
    const uint64_t generation = ActiveGeneration();
    if (!generation)
        return;
    for (int ch = 0; ch < kMaxChannels; ++ch)
        if (gone & (1u << ch)) {
            Item end;
            end.kind = Item::Kind::EndChannel;
            end.generation = generation;
            end.channel = ch;
            state_->Enqueue(std::move(end), 0);
        }
}

void Recorder::PushBlock(int channel, const uint8_t* block, size_t size, int64_t pcUtcMs)
{
    const uint64_t generation = ActiveGeneration();
    if (!generation || !block || size == 0)
        return;
    if (channel >= 0 && (channel >= kMaxChannels || !(Channels() & (1u << channel))))
        return; // a late frame of a camera the DVR is no longer asked for
    {
        // Counted before the copy is made: a full queue costs no allocation.
        std::lock_guard<std::mutex> l(state_->lock);
        if (state_->queuedBytes + size > state_->queueBytes) {
            ++state_->lost[generation];
            return;
        }
    }
    Item item;
    item.generation = generation;
    item.channel = channel;
    item.pcUtcMs = pcUtcMs;
    item.data.assign(block, block + size);
    state_->Enqueue(std::move(item), size);
}

void Recorder::PushMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level)
{
    const uint64_t generation = ActiveGeneration();
    if (!generation || channel < 0 || channel >= kMaxChannels || !(Channels() & (1u << channel)))
        return;
    Item item;
    item.kind = Item::Kind::Motion;
    item.generation = generation;
    item.channel = channel;
    item.seconds = dvrUtcSeconds;
    item.level = level;
    state_->Enqueue(std::move(item), 0);
}

std::vector<RecordEvent> Recorder::TakeEvents()
{
    std::lock_guard<std::mutex> l(state_->lock);
    std::vector<RecordEvent> out;
    out.swap(state_->events);
    return out;
}

void Recorder::State::Run(uint64_t generation, SinkOpener open)
{
    auto lostSoFar = [&] {
        std::lock_guard<std::mutex> l(lock);
        return lost[generation];
    };
    auto forget = [&] {
        // This recording's items that came after its failure, and its loss count.
        std::lock_guard<std::mutex> l(lock);
        for (auto it = queue.begin(); it != queue.end();) {
            if (it->generation <= generation) {
                queuedBytes -= it->data.size();
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
        lost.erase(generation);
    };
    auto unless = [&] {
        uint64_t mine = generation;
        active.compare_exchange_strong(mine, 0); // a newer recording stays active
    };
    std::string error;
    std::unique_ptr<IRecordSink> sink = open(&error);
    if (!sink) {
        unless();
        forget();
        Report({RecordEvent::Kind::NotOpened, error.empty() ? "the store did not open" : error, {}});
        return;
    }
    Report({RecordEvent::Kind::Opened, sink->Folder(), {}});

    using Clock = std::chrono::steady_clock;
    RecordCounts counts;
    uint64_t lostReported = 0;
    auto lastFlush = Clock::now();
    std::deque<Item> batch;
    for (;;) {
        {
            // Takes the items up to this recording's Stop; those after it are the next one's.
            std::unique_lock<std::mutex> l(lock);
            ready.wait_for(l, std::chrono::seconds(1), [&] { return !queue.empty(); });
            while (!queue.empty() && queue.front().generation <= generation) {
                queuedBytes -= queue.front().data.size();
                const bool last = queue.front().kind == Item::Kind::Stop && queue.front().generation == generation;
                batch.push_back(std::move(queue.front()));
                queue.pop_front();
                if (last)
                    break;
            }
            counts.lost = lost[generation];
        }
        bool stop = false, failed = false;
        for (Item& item : batch) {
            if (item.generation != generation)
                continue; // a failed recording's leftovers
            switch (item.kind) {
            case Item::Kind::Block:
                if (sink->Append(item.data.data(), item.data.size(), item.pcUtcMs)) {
                    ++counts.blocks;
                    counts.bytes += item.data.size();
                } else if (!sink->Failed()) {
                    ++counts.refused;
                }
                break;
            case Item::Kind::Motion: sink->AppendMotion(item.channel, item.seconds, item.level); break;
            case Item::Kind::EndChannel: sink->EndChannel(item.channel); break;
            case Item::Kind::Stop: stop = true; break;
            }
            if (sink->Failed()) {
                failed = true;
                break;
            }
            if (stop)
                break;
        }
        batch.clear();
        if (!failed && Clock::now() - lastFlush >= std::chrono::seconds(1)) {
            lastFlush = Clock::now();
            failed = !sink->Flush() && sink->Failed();
            if (counts.lost > lostReported) {
                lostReported = counts.lost;
                Report({RecordEvent::Kind::Lost, {}, counts});
            }
        }
        if (failed) {
            // A full or vanished disk: what was written stays readable; nothing more is taken.
            unless();
            const std::string why = sink->Error();
            sink->Close();
            counts.lost = lostSoFar();
            forget();
            Report({RecordEvent::Kind::Failed, why, counts});
            return;
        }
        if (stop) {
            const bool closed = sink->Close();
            counts.lost = lostSoFar();
            forget();
            if (!closed && sink->Failed()) {
                Report({RecordEvent::Kind::Failed, sink->Error(), counts});
                return;
            }
            Report({RecordEvent::Kind::Stopped, {}, counts});
            return;
        }
    }
}

} // namespace record
