#pragma once
// The recording store's writer: what a DVR sends, kept on the PC in per-camera segment files with an
// index and motion marks beside them (the layout is described in README.md, "The recording store").
// Neutral code: plain file I/O, append-only, usable on a local disk and on a network share.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

struct WriterOptions {
    int segmentSeconds = 300; // a segment file covers at most this much time
    uint64_t maxBytes = 0; // size cap of the whole store root, 0 = none
    int maxAgeDays = 0; // age cap, 0 = none
};

class StoreWriterImpl;

class StoreWriter { // one per site; not thread-safe: callers serialise
public:
    // Opens (creating folders as needed) the store under root for one site (address, port).
    // nullptr with *error set when the folder cannot be made. Never throws.
    static std::unique_ptr<StoreWriter> Open(const std::string& root, const std::string& address, uint16_t port,
                                             const WriterOptions& options, std::string* error);
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    // One stream block exactly as the DVR sent it (message 1657 / header command 83 payload): a video
    // frame (64-byte header + MPEG-4) or an audio block (24-byte header + coded audio, any tag), with
    // the PC's UTC time of receipt in ms. Malformed blocks are refused (false, store still good).
    // Returns false and sets Failed() once writing failed (disk full, folder gone); what was written
    // before stays readable. Never throws.
    bool Append(const uint8_t* block, size_t size, int64_t pcUtcMs);
    // A motion level (0..100) of one camera (0-based channel) for the second starting at dvrUtcSeconds.
    bool AppendMotion(int channel, uint32_t dvrUtcSeconds, uint8_t level);
    // The camera's stream stopped (layout change, disconnect): its span ends cleanly here.
    void EndChannel(int channel);
    bool Flush(); // everything appended so far reaches the file system
    bool Close(); // ends every span, closes files; safe twice; destructor calls it
    bool Failed() const;
    const std::string& Error() const;
    const std::string& SiteFolder() const;

    // Applies the size and age caps now (the writer also does so whenever a segment ends).
    // Returns the number of segments removed.
    size_t EnforceRetention(int64_t pcUtcMsNow);

private:
    explicit StoreWriter(std::unique_ptr<StoreWriterImpl> impl);
    std::unique_ptr<StoreWriterImpl> impl_;
};

// Motion from decoded pictures: one meter per camera. Feed each decoded picture (its luma plane, or
// BGR24 top-down as the viewer's decoder gives) with the DVR time; when a second completes, Take()
// returns the level (0..100) of the second that ended.
class MotionMeter {
public:
    void AddBgr(const uint8_t* bgr, int width, int height, int stride, uint32_t dvrUtcSeconds);
    void AddLuma(const uint8_t* y, int width, int height, int stride, uint32_t dvrUtcSeconds);
    bool Take(uint32_t* second, uint8_t* level);

    static constexpr int kGrid = 32; // pictures are reduced to kGrid x kGrid cells of mean luma

private:
    void AddReduced(const uint16_t* cells, uint32_t dvrUtcSeconds);
    uint16_t previous_[kGrid * kGrid] = {};
    bool havePrevious_ = false;
    bool inSecond_ = false;
    uint32_t second_ = 0;
    uint32_t peak_ = 0; // highest picture difference of the current second, 0..100
    bool ready_ = false;
    uint32_t readySecond_ = 0;
    uint8_t readyLevel_ = 0;
};

} // namespace store
