#pragma once
// dvrtool's subcommands register themselves: each lives in its own file here and adds itself to
// the application with a static Registrar.
#include "CommandLine.h"
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dvrtool {

using Installer = std::function<void(cmdline::Command&)>;

inline std::vector<Installer>& Installers()
{
    static std::vector<Installer> list;
    return list;
}

struct Registrar {
    explicit Registrar(Installer f) { Installers().push_back(std::move(f)); }
};

// How a subcommand ends early: main prints the message (when there is one) and exits with `code`.
class Failure : public std::runtime_error {
public:
    Failure(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Ends a subcommand with a message on stderr and a non-zero exit code.
[[noreturn]] inline void Fail(const std::string& message, int code = 1) { throw Failure(message, code); }

} // namespace dvrtool
