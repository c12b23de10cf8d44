#pragma once
// dvrtool's subcommands register themselves: each lives in its own file here and adds itself to
// the application with a static Registrar.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace dvrtool {

using Installer = std::function<void(CLI::App&)>;

inline std::vector<Installer>& Installers()
{
    static std::vector<Installer> list;
    return list;
}

struct Registrar {
    explicit Registrar(Installer f) { Installers().push_back(std::move(f)); }
};

// Ends a subcommand with a message on stderr and a non-zero exit code.
[[noreturn]] inline void Fail(const std::string& message, int code = 1) { throw CLI::RuntimeError(message, code); }

} // namespace dvrtool
