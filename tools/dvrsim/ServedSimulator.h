#pragma once
// The simulator with every extension installed, serving from a thread of the calling program: for
// tests that talk to it in the same process. Stopped by Stop or when it goes, so a test that ends
// early never leaves its serving thread behind.
#include "Extension.h"
#include "Simulator.h"
#include <string>
#include <thread>
#include <unistd.h>

namespace dvrsim {

// `o` for a simulator inside a test program: any free port, and a log of its own in `dir`
// (NAME_PID.log).
inline Options TestOptions(const std::string& dir, const std::string& name, Options o = {})
{
    o.port = 0;
    o.logPath = dir + name + "_" + std::to_string(::getpid()) + ".log";
    return o;
}

class ServedSimulator {
public:
    explicit ServedSimulator(const Options& options) : sim_(options)
    {
        for (auto& e : Extensions())
            e->Install(sim_);
    }
    ~ServedSimulator() { Stop(); }
    ServedSimulator(const ServedSimulator&) = delete;
    ServedSimulator& operator=(const ServedSimulator&) = delete;

    // Listens and starts serving; false with the reason in `error`.
    bool Start(std::string& error)
    {
        if (!sim_.Listen(error))
            return false;
        serve_ = std::thread([this] { sim_.Serve(); });
        return true;
    }
    uint16_t Port() const { return sim_.Port(); }
    void Stop()
    {
        if (!serve_.joinable())
            return;
        sim_.RequestStop();
        serve_.join();
        sim_.Stop();
    }

private:
    Simulator sim_;
    std::thread serve_;
};

} // namespace dvrsim
