#pragma once
// Test signals for the coder: generated, reproducible from a seed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace signals {

inline int16_t Clip(double v) { return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))); }

// A voiced-speech stand-in: a glottal pulse train with drifting pitch through three resonators,
// in syllables with pauses, plus a little breath noise.
inline std::vector<int16_t> SpeechLike(size_t n, double peak, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double kRate = 8000.0;
    struct Resonator {
        double b1 = 0, b2 = 0, y1 = 0, y2 = 0;
        void Set(double f, double bw)
        {
            const double r = std::exp(-M_PI * bw / 8000.0);
            b1 = 2 * r * std::cos(2 * M_PI * f / 8000.0);
            b2 = -r * r;
        }
        double Run(double x)
        {
            const double y = x + b1 * y1 + b2 * y2;
            y2 = y1;
            y1 = y;
            return y;
        }
    } f1, f2, f3;
    std::vector<double> raw(n);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / kRate;
        const double pitch = 120 + 60 * std::sin(2 * M_PI * 0.7 * t) + 20 * std::sin(2 * M_PI * 3.1 * t);
        f1.Set(500 + 250 * std::sin(2 * M_PI * 1.3 * t), 80);
        f2.Set(1500 + 600 * std::sin(2 * M_PI * 0.9 * t + 1), 120);
        f3.Set(2500 + 300 * std::sin(2 * M_PI * 0.4 * t + 2), 200);
        phase += pitch / kRate;
        double pulse = 0;
        if (phase >= 1) {
            phase -= 1;
            pulse = 1;
        }
        const double syllable = std::max(0.0, std::sin(2 * M_PI * 2.5 * t));
        const double x = pulse * syllable + 0.02 * noise(rng);
        raw[i] = f3.Run(f2.Run(f1.Run(x)));
    }
    double m = 1e-9;
    for (double v : raw)
        m = std::max(m, std::fabs(v));
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = Clip(raw[i] / m * peak);
    return out;
}

inline std::vector<int16_t> Sweep(size_t n, double f0, double f1, double amplitude)
{
    std::vector<int16_t> out(n);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double f = f0 + (f1 - f0) * i / n;
        phase += 2 * M_PI * f / 8000.0;
        out[i] = Clip(amplitude * std::sin(phase));
    }
    return out;
}

inline std::vector<int16_t> Tone(size_t n, double f, double amplitude, double f2 = 0)
{
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        double v = std::sin(2 * M_PI * f * i / 8000.0);
        if (f2 > 0)
            v = 0.5 * (v + std::sin(2 * M_PI * f2 * i / 8000.0));
        out[i] = Clip(amplitude * v);
    }
    return out;
}

inline std::vector<int16_t> WhiteNoise(size_t n, int lo, int hi, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(lo, hi);
    std::vector<int16_t> out(n);
    for (auto& v : out)
        v = static_cast<int16_t>(d(rng));
    return out;
}

inline std::vector<int16_t> Square(size_t n, int period, int16_t low, int16_t high)
{
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = (i % period) < static_cast<size_t>(period / 2) ? high : low;
    return out;
}

// Long runs at the rails with random lengths, the harshest input for the predictor's limits.
inline std::vector<int16_t> RailRuns(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> len(1, 400);
    std::vector<int16_t> out;
    bool high = true;
    while (out.size() < n) {
        out.insert(out.end(), len(rng), high ? int16_t(32767) : int16_t(-32768));
        high = !high;
    }
    out.resize(n);
    return out;
}

inline std::vector<uint8_t> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(n);
    for (auto& v : out)
        v = static_cast<uint8_t>(rng());
    return out;
}

} // namespace signals
