#include "SiteRecorder.h"
#include "DvrClient.h"
#include "Mp4DecoderManager.h"
#include "XvidApi.h"
#include "wire/Packets.h"
#include "wire/StreamFrame.h"
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <chrono>
#include <ctime>
#include <memory>
#include <poll.h>

namespace recorder {

namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t UtcMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string MegaBytes(uint64_t bytes)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return b;
}

class Log {
public:
    explicit Log(std::ostream& out) : out_(out) {}
    void Line(const std::string& text)
    {
        const std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
        out_ << stamp << " " << text << std::endl;
    }

private:
    std::ostream& out_;
};

struct Counts {
    uint64_t frames = 0, audio = 0, bytes = 0, refused = 0, marks = 0, unmeasured = 0, connections = 0;
    void Add(const Counts& o)
    {
        frames += o.frames;
        audio += o.audio;
        bytes += o.bytes;
        refused += o.refused;
        marks += o.marks;
        unmeasured += o.unmeasured;
        connections += o.connections;
    }
};

// Motion marks: the cameras' pictures decoded to luma planes and measured once a second, on a
// thread of their own, so that decoding never holds up the recording. When decoding falls behind,
// pictures are passed over (the decoder then waits for the next key frame) rather than queued
// without end; the marks come back to the receiving thread, which alone writes to the store.
class MotionMarks {
public:
    explicit MotionMarks(int channels) : decoder_(video::LinkedXvidApi()), channels_(channels)
    {
        std::array<int, 16> w{}, h{};
        w.fill(720);
        h.fill(480);
        decoder_.Initialize(channels_, 2, w.data(), h.data(), nullptr);
        if (Usable())
            worker_ = std::thread([this] { Work(); });
    }
    ~MotionMarks() { Stop(); }
    // Ends the worker; the marks it made stay for WriteMarks.
    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        if (worker_.joinable())
            worker_.join();
        decoder_.Destroy();
    }
    bool Usable() const { return decoder_.LibraryStatus() == video::XvidStatus::Ready; }

    // One video frame the store accepted.
    void OnFrame(const uint8_t* block, size_t size, Counts& counts)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.size() >= kMaxQueued) {
                ++counts.unmeasured;
                return;
            }
            queue_.emplace_back(block, block + size);
        }
        wake_.notify_one();
    }

    // The marks of the seconds that ended, into the store.
    void WriteMarks(store::StoreWriter& writer, Counts& counts)
    {
        std::vector<Mark> marks;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            marks.swap(marks_);
        }
        for (const Mark& m : marks)
            if (writer.AppendMotion(m.channel, m.second, m.level))
                ++counts.marks;
    }

private:
    static constexpr size_t kMaxQueued = 256; // about half a second of 16 cameras at 30 pictures/s
    struct Mark {
        int channel;
        uint32_t second;
        uint8_t level;
    };

    void Work()
    {
        std::vector<uint8_t> frame;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
                if (quit_)
                    return;
                frame.swap(queue_.front());
                queue_.pop_front();
            }
            Measure(frame.data(), frame.size());
        }
    }

    void Measure(const uint8_t* block, size_t size)
    {
        wire::VideoFrameHeader h;
        if (!wire::ParseVideoFrameHeader(block, size, h) || h.ChannelBits() < 16)
            return;
        const int ch = static_cast<int>(h.ChannelBits() & 0x0F);
        if (ch >= channels_ || h.total < wire::kVideoHeaderSize || h.total > size)
            return;
        video::DecodedPicture pic{};
        // The picture record names its size only after a VOL; the planes are made for the channel's size.
        int w = 0, ht = 0;
        if (decoder_.DecodeFrame(h, block, size, &pic, ch) <= 0 || !pic.plane[0] ||
            !decoder_.ChannelSize(ch, w, ht) || w <= 0 || ht <= 0 || pic.stride[0] < w)
            return;
        store::MotionMeter& m = meters_[size_t(ch)];
        m.AddLuma(static_cast<const uint8_t*>(pic.plane[0]), w, ht, pic.stride[0], h.seconds);
        uint32_t second = 0;
        uint8_t level = 0;
        while (m.Take(&second, &level)) {
            std::lock_guard<std::mutex> lock(mutex_);
            marks_.push_back({ch, second, level});
        }
    }

    video::CMp4DecoderManager decoder_; // the worker's alone once it runs
    int channels_;
    std::array<store::MotionMeter, 16> meters_; // the worker's
    std::mutex mutex_; // guards what follows
    std::condition_variable wake_;
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<Mark> marks_;
    bool quit_ = false;
    std::thread worker_;
};

enum class End { Stopped, Lost, Refused, StoreFailed };

struct Session {
    End end = End::Lost;
    std::string why;
    bool good = false; // logged in and stored at least one block
    uint32_t seen = 0; // channels that sent video
};

class Recorder {
public:
    Recorder(const SiteRecorderOptions& o, const std::atomic<bool>& stop, std::ostream& out)
        : o_(o), stop_(stop), log_(out), pause_(o.firstPauseMs, o.longestPauseMs)
    {
    }

    int Run()
    {
        nextSummary_ = SteadyMs() + SummaryPeriodMs();
        int code = 0;
        while (!stop_.load()) {
            if (!writer_ && !OpenStore())
                continue;
            Session s = RecordOnce();
            for (int ch = 0; ch < 16; ++ch)
                if (s.seen & (1u << ch))
                    writer_->EndChannel(ch);
            writer_->Flush();
            if (s.end == End::Stopped)
                break;
            if (s.end == End::Refused) {
                log_.Line("the DVR refused the ID or password: " + s.why + "; stopping");
                code = 2;
                break;
            }
            if (s.end == End::StoreFailed) {
                writer_->Close();
                writer_.reset();
            }
            if (s.good)
                pause_.Reset();
            const int ms = pause_.Next();
            // Repeated failures of one kind are logged once; the summary counts the attempts.
            if (s.good || s.why != lastFailure_)
                log_.Line(s.why + "; next attempt in " + std::to_string((ms + 999) / 1000) + " s" +
                          (s.good ? "" : ", then with growing pauses up to " +
                                   std::to_string(o_.longestPauseMs / 1000) + " s"));
            lastFailure_ = s.good ? std::string() : s.why;
            ++failedAttempts_;
            Wait(ms);
        }
        if (writer_) {
            const bool closed = writer_->Close() && !writer_->Failed();
            if (!closed) {
                log_.Line("the store was not closed cleanly: " + writer_->Error());
                code = code ? code : 1;
            }
        }
        total_.Add(period_);
        log_.Line("stopped: " + std::to_string(total_.frames) + " frames, " + std::to_string(total_.audio) +
                  " audio blocks, " + MegaBytes(total_.bytes) + " recorded in " + std::to_string(total_.connections) +
                  " connections" +
                  (o_.motion ? "; " + std::to_string(total_.marks) + " motion marks, " +
                           std::to_string(total_.unmeasured) + " pictures not measured"
                             : std::string()));
        return code;
    }

private:
    int64_t SummaryPeriodMs() const { return int64_t(o_.summaryMinutes) * 60000; }

    void Wait(int ms)
    {
        const int64_t until = SteadyMs() + ms;
        while (!stop_.load()) {
            const int64_t left = until - SteadyMs();
            if (left <= 0)
                break;
            poll(nullptr, 0, static_cast<int>(left < 200 ? left : 200));
            Summary();
        }
    }

    bool OpenStore()
    {
        std::string error;
        writer_ = store::StoreWriter::Open(o_.storeRoot, o_.host, o_.port, o_.writer, &error);
        if (writer_) {
            log_.Line("recording " + o_.host + ":" + std::to_string(o_.port) + " into " + writer_->SiteFolder());
            return true;
        }
        const int ms = pause_.Next();
        const std::string why = "cannot open the store in " + o_.storeRoot + ": " + error;
        if (why != lastFailure_)
            log_.Line(why + "; next attempt in " + std::to_string((ms + 999) / 1000) + " s");
        lastFailure_ = why;
        Wait(ms);
        return false;
    }

    void Summary()
    {
        if (o_.summaryMinutes <= 0 || SteadyMs() < nextSummary_)
            return;
        nextSummary_ = SteadyMs() + SummaryPeriodMs();
        std::string line = "last " + std::to_string(o_.summaryMinutes) + " min: " + std::to_string(period_.frames) +
            " frames, " + std::to_string(period_.audio) + " audio blocks, " + MegaBytes(period_.bytes);
        if (o_.motion)
            line += ", " + std::to_string(period_.marks) + " motion marks (" + std::to_string(period_.unmeasured) +
                " pictures not measured)";
        if (period_.refused)
            line += ", " + std::to_string(period_.refused) + " malformed blocks dropped";
        if (failedAttempts_)
            line += ", " + std::to_string(failedAttempts_) + " connections lost or failed";
        line += connected_ ? "; connected" : "; not connected";
        log_.Line(line);
        total_.Add(period_);
        period_ = Counts{};
        failedAttempts_ = 0;
    }

    Session RecordOnce()
    {
        Session s;
        dvrclient::DvrClient client;
        std::string error;
        if (!client.Connect(o_.host, o_.port, o_.timeoutMs, error)) {
            s.why = error;
            return s;
        }
        const dvrclient::LoginOutcome login = dvrclient::Login(client, o_.user, o_.password, o_.timeoutMs);
        if (stop_.load()) {
            s.end = End::Stopped;
            return s;
        }
        if (!login.replied) {
            s.why = "no login reply: " + login.error;
            return s;
        }
        if (!login.reply.Accepted()) {
            s.why = "login refused (result " + std::to_string(login.reply.result) + ")";
            if (login.reply.result & 2)
                s.end = End::Refused;
            return s;
        }
        const int channels = login.reply.HasChannelInfo() ? login.reply.channelCount : 16;
        const uint32_t all = channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;
        const uint32_t mask = (o_.cameras ? o_.cameras : all) & all & 0xFFFFu;
        uint8_t request[protocol::kChannelRequestSize];
        protocol::BuildChannelRequest(mask, o_.audio ? 1 : 0, request);
        if (!client.SendPacket(protocol::kCmdChannelRequest, request, sizeof request)) {
            s.why = "cannot send the channel request: " + client.LastError();
            return s;
        }
        std::unique_ptr<MotionMarks> motion;
        if (o_.motion) {
            motion = std::make_unique<MotionMarks>(channels < 16 ? channels : 16);
            if (!motion->Usable()) {
                if (!motionWarned_)
                    log_.Line("no motion marks: the xvid library cannot decode");
                motionWarned_ = true;
                motion.reset();
            }
        }
        // While one failure repeats (a DVR that logs in but sends nothing), the line waits for the
        // first block, so that the repeats stay out of the log.
        std::string line = "connected: " + std::to_string(channels) + " cameras, recording " +
            (mask ? CameraList(mask) : std::string("none")) + (o_.audio ? " with audio" : "") +
            (motion ? " and motion marks" : "");
        if (lastFailure_.empty())
            log_.Line(line);
        else
            pendingLine_ = std::move(line);
        connected_ = true;
        ++period_.connections;
        s.end = Receive(client, motion.get(), s);
        if (motion) {
            motion->Stop();
            motion->WriteMarks(*writer_, period_);
        }
        pendingLine_.clear();
        connected_ = false;
        client.Close();
        return s;
    }

    End Receive(dvrclient::DvrClient& client, MotionMarks* motion, Session& s)
    {
        int64_t lastBlock = SteadyMs(), lastFlush = lastBlock;
        for (;;) {
            if (stop_.load())
                return End::Stopped;
            const int64_t now = SteadyMs();
            if (now - lastFlush >= 1000) {
                // What reached the writer is in the files within a second: a kill loses no more.
                writer_->Flush();
                lastFlush = now;
            }
            if (motion)
                motion->WriteMarks(*writer_, period_);
            if (writer_->Failed()) {
                s.why = "the store failed: " + writer_->Error();
                return End::StoreFailed;
            }
            if (now - lastBlock > int64_t(o_.stallSeconds) * 1000) {
                s.why = "connection lost: nothing received for " + std::to_string(o_.stallSeconds) + " s";
                return End::Lost;
            }
            Summary();
            conduix::Frame f;
            const auto r = client.Receive(f, 250);
            if (r == dvrclient::DvrClient::Result::Timeout)
                continue;
            if (r != dvrclient::DvrClient::Result::Frame) {
                s.why = "connection lost: " +
                    (r == dvrclient::DvrClient::Result::Closed ? std::string("the DVR closed it") : client.LastError());
                return End::Lost;
            }
            if (f.kind == conduix::FrameKind::Packet && f.header.command == protocol::kCmdDisconnect) {
                s.why = "connection lost: the DVR asked to disconnect";
                return End::Lost;
            }
            if (f.kind != conduix::FrameKind::Stream || f.header.command != protocol::kCmdStreamBlock)
                continue;
            lastBlock = SteadyMs();
            const uint8_t* p = f.payload;
            const size_t n = f.payloadLength;
            if (!writer_->Append(p, n, UtcMs())) {
                if (!writer_->Failed())
                    ++period_.refused;
                continue;
            }
            if (!s.good && !pendingLine_.empty())
                log_.Line(pendingLine_);
            if (!s.good)
                lastFailure_.clear();
            pendingLine_.clear();
            s.good = true;
            period_.bytes += n;
            if (wire::IsAudioTag(p, n)) {
                ++period_.audio;
                continue;
            }
            ++period_.frames;
            wire::VideoFrameHeader h;
            if (wire::ParseVideoFrameHeader(p, n, h) && h.ChannelBits() >= 16)
                s.seen |= 1u << (h.ChannelBits() & 0x0F);
            if (motion)
                motion->OnFrame(p, n, period_);
        }
    }

    const SiteRecorderOptions& o_;
    const std::atomic<bool>& stop_;
    Log log_;
    RetryPause pause_;
    std::unique_ptr<store::StoreWriter> writer_;
    std::string lastFailure_, pendingLine_;
    Counts period_, total_;
    uint64_t failedAttempts_ = 0;
    int64_t nextSummary_ = 0;
    bool connected_ = false, motionWarned_ = false;
};

} // namespace

std::string CameraList(uint32_t mask)
{
    std::string out;
    for (int c = 0; c < 32;) {
        if (!(mask & (1u << c))) {
            ++c;
            continue;
        }
        int last = c;
        while (last + 1 < 32 && (mask & (1u << (last + 1))))
            ++last;
        if (!out.empty())
            out += ",";
        out += std::to_string(c + 1);
        if (last > c)
            out += "-" + std::to_string(last + 1);
        c = last + 1;
    }
    return out;
}

int RunSiteRecorder(const SiteRecorderOptions& options, const std::atomic<bool>& stop, std::ostream& log)
{
    return Recorder(options, stop, log).Run();
}

} // namespace recorder
