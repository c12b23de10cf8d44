#include "Recorder.h"
#include <chrono>

namespace record {

Recorder::Recorder(std::function<void()> wake, size_t queueBytes) : wake_(std::move(wake)), queueBytes_(queueBytes) {}

Recorder::~Recorder()
{
    Stop();
    Join();
}

void Recorder::Join()
{
    if (writer_.joinable())
        writer_.join();
    std::lock_guard<std::mutex> l(lock_);
    queue_.clear(); // what came after a failure or after the stop
    queuedBytes_ = 0;
}

bool Recorder::Start(SinkOpener open)
{
    if (Active() || !open)
        return false;
    Join(); // a writer that failed, or that is still closing the last recording
    {
        std::lock_guard<std::mutex> l(lock_);
        lost_ = 0;
    }
    active_.store(true);
    writer_ = std::thread([this, open = std::move(open)]() mutable { Run(std::move(open)); });
    return true;
}

void Recorder::Stop()
{
    if (!active_.exchange(false))
        return;
    Item stop;
    stop.kind = Item::Kind::Stop;
    Enqueue(std::move(stop), 0);
}

void Recorder::SetChannels(uint32_t mask)
{
    const uint32_t gone = channels_.exchange(mask) & ~mask;
    if (!Active())
        return;
    for (int ch = 0; ch < kMaxChannels; ++ch)
        if (gone & (1u << ch)) {
            Item end;
            end.kind = Item::Kind::EndChannel;
            end.channel = ch;
            Enqueue(std::move(end), 0);
        }
}

void Recorder::PushBlock(int channel, const uint8_t* block, size_t size, int64_t pcUtcMs)
{
    if (!Active() || !block || size == 0)
        return;
    if (channel >= 0 && (channel >= kMaxChannels || !(Channels() & (1u << channel))))
        return; // a late frame of a camera the DVR is no longer asked for
    {
        // Counted before the copy is made: a full queue costs no allocation.
        std::lock_guard<std::mutex> l(lock_);
        if (queuedBytes_ + size > queueBytes_) {
            ++lost_;
            return;
        }
    }
    Item item;
    item.channel = channel;
    item.pcUtcMs = pcUtcMs;
    item.data.assign(block, block + size);
    Enqueue(std::move(item), size);
}

void Recorder::PushMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level)
{
    if (!Active() || channel < 0 || channel >= kMaxChannels || !(Channels() & (1u << channel)))
        return;
    Item item;
    item.kind = Item::Kind::Motion;
    item.channel = channel;
    item.seconds = dvrUtcSeconds;
    item.level = level;
    Enqueue(std::move(item), 0);
}

bool Recorder::Enqueue(Item&& item, size_t bytes)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        if (bytes && queuedBytes_ + bytes > queueBytes_) {
            ++lost_;
            return false;
        }
        queuedBytes_ += bytes;
        queue_.push_back(std::move(item));
    }
    ready_.notify_one();
    return true;
}

std::vector<RecordEvent> Recorder::TakeEvents()
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<RecordEvent> out;
    out.swap(events_);
    return out;
}

void Recorder::Report(RecordEvent event)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        events_.push_back(std::move(event));
    }
    if (wake_)
        wake_();
}

void Recorder::Run(SinkOpener open)
{
    std::string error;
    std::unique_ptr<IRecordSink> sink = open(&error);
    if (!sink) {
        active_.store(false);
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
        uint64_t lost = 0;
        {
            std::unique_lock<std::mutex> l(lock_);
            ready_.wait_for(l, std::chrono::seconds(1), [&] { return !queue_.empty(); });
            batch.swap(queue_);
            queuedBytes_ = 0;
            lost = lost_;
        }
        bool stop = false, failed = false;
        for (Item& item : batch) {
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
        counts.lost = lost;
        if (!failed && Clock::now() - lastFlush >= std::chrono::seconds(1)) {
            lastFlush = Clock::now();
            failed = !sink->Flush() && sink->Failed();
            if (lost > lostReported) {
                lostReported = lost;
                Report({RecordEvent::Kind::Lost, {}, counts});
            }
        }
        if (failed) {
            // A full or vanished disk: what was written stays readable; nothing more is taken.
            active_.store(false);
            const std::string why = sink->Error();
            sink->Close();
            Report({RecordEvent::Kind::Failed, why, counts});
            return;
        }
        if (stop) {
            const bool closed = sink->Close();
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
