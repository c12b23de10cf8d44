#pragma once
// Test helpers around the Wine session's sound server: record what reaches the default sink
// ("nullsink.monitor") and play a known signal into the microphone source ("micsink"). The Unix
// tools are started through Wine's CreateProcess, which runs Unix programs natively; their handles
// cannot be waited on, so each writes a marker file when it has finished.
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace soundtest {

// Records `seconds` of 8 kHz mono 16-bit audio from the sink's monitor into a file.
class Recorder {
public:
    bool Start(double seconds);
    // Waits for the recording to end; the samples, or empty on failure.
    std::vector<int16_t> Finish(DWORD timeoutMs = 10000);

    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

// Samples recorded so far (the recording file's size), -1 when unknown.
long RecordedSamples(const Recorder& r);

// Plays samples (8 kHz mono 16-bit) into the capture source; returns at once.
bool PlayIntoMicrophone(const std::vector<int16_t>& samples, std::string& marker);
bool WaitMarker(const std::string& marker, DWORD timeoutMs);

// The lag (in samples, `recorded` behind `expected`) and the normalised correlation at that lag.
struct Match {
    long lag = 0;
    double correlation = 0;
};
// Where expected[from, from + count) best matches recorded, searching offsets lo..hi.
Match MatchAt(const std::vector<int16_t>& recorded, const std::vector<int16_t>& expected, size_t from, size_t count,
              long lo, long hi);
double Energy(const std::vector<int16_t>& s, size_t from, size_t count);

} // namespace soundtest
