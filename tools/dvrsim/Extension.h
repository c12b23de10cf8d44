#pragma once
// How a feature joins the simulator without touching its core: a .cpp file in this folder defines
// an Extension and registers it with a static ExtensionRegistrar. main() lets every extension add
// its command-line options, then install its handlers and producers into the Simulator.
#include "Simulator.h"
#include "CommandLine.h"
#include <memory>
#include <vector>

namespace dvrsim {

class Extension {
public:
    virtual ~Extension() = default;
    virtual void AddOptions(cmdline::Command& app) {}
    virtual void Install(Simulator& sim) = 0;
};

inline std::vector<std::unique_ptr<Extension>>& Extensions()
{
    static std::vector<std::unique_ptr<Extension>> list;
    return list;
}

template <class T> struct ExtensionRegistrar {
    ExtensionRegistrar() { Extensions().push_back(std::make_unique<T>()); }
};

} // namespace dvrsim
