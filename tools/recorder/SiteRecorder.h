#pragma once
// The around-the-clock recorder behind `dvrtool record --store`: logs in to one DVR, asks for the
// chosen cameras and writes every stream block into the site's store, reconnecting by itself with
// growing pauses whenever the DVR, the network or the store goes, until asked to stop.
#include "StoreWriter.h"
#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>

namespace recorder {

// Pauses between attempts: the first, then doubling up to the longest; Reset after a good
// connection starts over.
class RetryPause {
public:
    RetryPause(int firstMs = 1000, int longestMs = 60000) : first_(firstMs), longest_(longestMs), next_(firstMs) {}
    int Next()
    {
        const int now = next_;
        next_ = now >= longest_ / 2 ? longest_ : now * 2;
        return now;
    }
    void Reset() { next_ = first_; }

private:
    int first_, longest_, next_;
};

struct SiteRecorderOptions {
    std::string storeRoot;
    std::string host;
    uint16_t port = 50000;
    std::string user, password;
    uint32_t cameras = 0; // bit n = camera n + 1; 0: every camera of the DVR
    bool audio = true;
    bool motion = false;
    store::WriterOptions writer;
    int timeoutMs = 5000; // connect and login
    int stallSeconds = 20; // no stream block for this long counts as a lost connection
    int summaryMinutes = 10; // 0: no periodic summary
    int firstPauseMs = 1000, longestPauseMs = 60000;
};

// Records until `stop` is set (checked at least every quarter second). Returns the exit code: 0
// after a clean stop, 1 when the store could not be closed cleanly, 2 when the DVR refused the ID
// or password (retrying would not help). One line per change of state goes to `log`.
int RunSiteRecorder(const SiteRecorderOptions& options, const std::atomic<bool>& stop, std::ostream& log);

// "1-4,9": the cameras of a mask, for the log.
std::string CameraList(uint32_t mask);

} // namespace recorder
