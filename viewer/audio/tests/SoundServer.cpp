#include "SoundServer.h"
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace soundtest {
namespace {

// A folder no earlier run used: Wine hands out the same few process ids again and again, and a
// marker file left by an earlier run must not look like this run's.
std::string NewDir()
{
    static int n = 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char b[128];
    std::snprintf(b, sizeof b, "/tmp/px-audio-%lu-%lld-%d", GetCurrentProcessId(), static_cast<long long>(now.QuadPart),
                  ++n);
    return b;
}

std::wstring Windows(const std::string& unixPath)
{
    std::wstring w = L"Z:";
    for (char c : unixPath)
        w += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return w;
}

bool RunShell(const std::string& script)
{
    std::wstring cmd = L"/bin/sh -c \"";
    for (char c : script)
        cmd += static_cast<wchar_t>(c);
    cmd += L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // For a Unix program Wine leaves hProcess null and the thread handle undefined: closing it would
    // close whatever handle carries its value (a file the test's program reads).
    if (pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return true;
}

bool Exists(const std::string& unixPath)
{
    return GetFileAttributesW(Windows(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool Recorder::Start(double seconds)
{
    dir_ = NewDir();
    char script[512];
    std::snprintf(script, sizeof script,
                  "mkdir -p %s; timeout %.2f parec -d nullsink.monitor --raw --format=s16le --rate=8000 "
                  "--channels=1 --latency-msec=5 %s/rec.raw & echo started > %s/started; wait; touch %s/done",
                  dir_.c_str(), seconds, dir_.c_str(), dir_.c_str(), dir_.c_str());
    if (!RunShell(script))
        return false;
    if (!WaitMarker(dir_ + "/started", 5000))
        return false;
    // The recording has begun once parec writes its first samples.
    const std::wstring file = Windows(dir_ + "/rec.raw");
    const DWORD start = GetTickCount();
    for (;;) {
        WIN32_FILE_ATTRIBUTE_DATA a{};
        if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &a) && a.nFileSizeLow >= 64)
            return true;
        if (GetTickCount() - start > 5000)
            return false;
        Sleep(5);
    }
}

std::vector<int16_t> Recorder::Finish(DWORD timeoutMs)
{
    std::vector<int16_t> out;
    if (!WaitMarker(dir_ + "/done", timeoutMs))
        return out;
    FILE* f = _wfopen(Windows(dir_ + "/rec.raw").c_str(), L"rb");
    if (!f)
        return out;
    int16_t buf[4096];
    size_t n;
    while ((n = fread(buf, 2, 4096, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    fclose(f);
    RunShell("rm -rf " + dir_);
    return out;
}

long RecordedSamples(const Recorder& r)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExW(Windows(r.Dir() + "/rec.raw").c_str(), GetFileExInfoStandard, &a))
        return -1;
    return static_cast<long>(a.nFileSizeLow / 2);
}

bool PlayIntoMicrophone(const std::vector<int16_t>& samples, std::string& marker)
{
    const std::string dir = NewDir();
    CreateDirectoryW(Windows(dir).c_str(), nullptr);
    FILE* f = _wfopen(Windows(dir + "/mic.raw").c_str(), L"wb");
    if (!f)
        return false;
    fwrite(samples.data(), 2, samples.size(), f);
    fclose(f);
    marker = dir + "/done";
    return RunShell("pacat --playback -d micsink --raw --format=s16le --rate=8000 --channels=1 --latency-msec=20 " +
                    dir + "/mic.raw; rm -f " + dir + "/mic.raw; touch " + marker);
}

bool WaitMarker(const std::string& marker, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!Exists(marker)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

Match MatchAt(const std::vector<int16_t>& recorded, const std::vector<int16_t>& expected, size_t from, size_t count,
              long lo, long hi)
{
    Match best;
    best.lag = lo;
    if (from + count > expected.size())
        return best;
    double ee = 0;
    for (size_t i = from; i < from + count; ++i)
        ee += double(expected[i]) * expected[i];
    for (long at = std::max(0L, lo); at <= hi; ++at) {
        if (static_cast<size_t>(at) + count > recorded.size())
            break;
        double xy = 0, rr = 0;
        for (size_t i = 0; i < count; ++i) {
            const double r = recorded[at + i];
            xy += r * expected[from + i];
            rr += r * r;
        }
        const double c = (rr > 0 && ee > 0) ? xy / std::sqrt(rr * ee) : 0;
        if (c > best.correlation) {
            best.correlation = c;
            best.lag = at;
        }
    }
    return best;
}

double Energy(const std::vector<int16_t>& s, size_t from, size_t count)
{
    double e = 0;
    for (size_t i = from; i < from + count && i < s.size(); ++i)
        e += double(s[i]) * s[i];
    return count ? e / count : 0;
}

} // namespace soundtest
