// Lip sync as it reaches the screen and the sound server: finds the white flashes of the simulator's
// sync marker on the X display and the clicks in the sound read from standard input (16-bit mono at
// 8000 Hz, as `parec --raw --format=s16le --rate=8000 --channels=1` writes it), and prints for each
// flash the click nearest to it: the offset is click time less flash time (positive: the sound
// comes late). Then the median and the worst.
//   lipsync_probe SECONDS [CALIBRATE_SECONDS]
// First it looks for the flashing spot: full-screen grabs for CALIBRATE_SECONDS (default 6), the
// 16-pixel tile that turned all white most often. Then it polls a few pixels there every
// millisecond. Times are CLOCK_MONOTONIC; a sound sample's time is the earliest its read could
// have come (the least of read time less the samples read so far over 8000 Hz).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

bool White(unsigned long p) { return ((p >> 16) & 0xFF) > 225 && ((p >> 8) & 0xFF) > 225 && (p & 0xFF) > 225; }

struct Sound {
    std::mutex lock;
    std::vector<double> clicks; // times
    double origin = 1e300; // time of sample 0
    std::atomic<bool> stop{false};
};

// Clicks: a sample above 4000 after at least 100 ms below it.
void ReadSound(Sound& s)
{
    int16_t buf[80];
    uint64_t n = 0, lastLoud = 0;
    bool any = false;
    std::vector<uint64_t> at;
    while (!s.stop.load()) {
        const ssize_t got = read(0, buf, sizeof buf);
        if (got <= 0)
            break;
        const double t = Now();
        const size_t k = static_cast<size_t>(got) / 2;
        for (size_t i = 0; i < k; ++i, ++n)
            if (std::abs(int(buf[i])) > 4000) {
                if (!any || n - lastLoud > 800)
                    at.push_back(n);
                any = true;
                lastLoud = n;
            }
        std::lock_guard<std::mutex> l(s.lock);
        s.origin = std::min(s.origin, t - double(n) / 8000);
        for (uint64_t a : at)
            s.clicks.push_back(double(a)); // sample index until the origin settles
        at.clear();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 60, calibrate = argc > 2 ? atof(argv[2]) : 6;
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        fprintf(stderr, "lipsync_probe: no X display\n");
        return 1;
    }
    Window root = DefaultRootWindow(d);
    XWindowAttributes wa;
    XGetWindowAttributes(d, root, &wa);
    const int tile = 16, tw = wa.width / tile, th = wa.height / tile;

    Sound sound;
    std::thread reader([&] { ReadSound(sound); });

    // Calibration: which tile goes all white, from not all white, most often.
    std::vector<int> turns(static_cast<size_t>(tw * th), 0);
    std::vector<char> was(turns.size(), 1);
    const double c0 = Now();
    int grabs = 0;
    while (Now() - c0 < calibrate) {
        XImage* img = XGetImage(d, root, 0, 0, wa.width, wa.height, AllPlanes, ZPixmap);
        if (!img)
            break;
        ++grabs;
        for (int ty = 0; ty < th; ++ty)
            for (int tx = 0; tx < tw; ++tx) {
                bool all = true;
                for (int y = ty * tile; y < ty * tile + tile && all; y += 3)
                    for (int x = tx * tile; x < tx * tile + tile && all; x += 3)
                        all = White(XGetPixel(img, x, y));
                const size_t i = static_cast<size_t>(ty * tw + tx);
                if (all && !was[i])
                    ++turns[i];
                was[i] = all;
            }
        XDestroyImage(img);
    }
    const size_t best = static_cast<size_t>(std::max_element(turns.begin(), turns.end()) - turns.begin());
    if (turns.empty() || turns[best] < 2) {
        fprintf(stderr, "lipsync_probe: no flashing spot found in %d grabs\n", grabs);
        sound.stop = true;
        reader.detach();
        return 1;
    }
    const int px = static_cast<int>(best % tw) * tile + tile / 2 - 2,
              py = static_cast<int>(best / tw) * tile + tile / 2 - 2;
    fprintf(stderr, "lipsync_probe: flashing spot at %d,%d (%d flashes in %d grabs)\n", px, py, turns[best], grabs);

    // Flashes: the spot all white after at least 300 ms not white; the time is the middle of the
    // grab that first saw it.
    std::vector<double> flashes;
    double lastWhite = -1;
    bool white = true; // wait for a dark spell first
    const double t0 = Now();
    while (Now() - t0 < seconds) {
        const double a = Now();
        XImage* img = XGetImage(d, root, px, py, 4, 4, AllPlanes, ZPixmap);
        const double b = Now();
        if (!img)
            break;
        bool all = true;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                all = all && White(XGetPixel(img, x, y));
        XDestroyImage(img);
        if (all) {
            if (!white && (lastWhite < 0 || a - lastWhite > 0.3))
                flashes.push_back((a + b) / 2);
            lastWhite = b;
        }
        white = all;
        usleep(1000);
    }
    sound.stop = true;
    reader.detach(); // it may sit in read(); the process ends with it

    std::vector<double> clicks;
    {
        std::lock_guard<std::mutex> l(sound.lock);
        for (double n : sound.clicks)
            clicks.push_back(sound.origin + n / 8000);
    }
    std::vector<double> offsets;
    for (double f : flashes) {
        double bestOff = 1e9;
        for (double c : clicks)
            if (std::fabs(c - f) < std::fabs(bestOff))
                bestOff = c - f;
        if (std::fabs(bestOff) < 0.5) {
            offsets.push_back(bestOff * 1000);
            printf("flash %.3f s  click offset %+.1f ms\n", f - t0, bestOff * 1000);
        } else {
            printf("flash %.3f s  no click within 500 ms\n", f - t0);
        }
    }
    if (offsets.empty()) {
        printf("lip sync: no pairs (%zu flashes, %zu clicks)\n", flashes.size(), clicks.size());
        return 1;
    }
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    const double median =
        sorted.size() % 2 ? sorted[sorted.size() / 2] : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    const double worst = std::fabs(sorted.front()) > std::fabs(sorted.back()) ? sorted.front() : sorted.back();
    printf("lip sync: %zu pairs of %zu flashes and %zu clicks; offset (sound less picture) median %+.1f ms, "
           "worst %+.1f ms, range %+.1f to %+.1f ms\n",
           offsets.size(), flashes.size(), clicks.size(), median, worst, sorted.front(), sorted.back());
    return 0;
}
