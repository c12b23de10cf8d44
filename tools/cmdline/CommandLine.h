#pragma once
// The command lines of the native tools (dvrsim, dvrtool and the tests that start a simulator with
// options), described without CLI11 in sight. CLI11 is header-only: every unit that includes it
// compiles most of it again (7-10 s a unit under the sanitizers, more at -O2), so only
// CommandLine.cpp does, and the programs, their subcommands and the simulator's extensions say
// what they take through these classes. Each call is the CLI11 call of the same name, with the
// same parsing, checks, help and exit codes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace cmdline {

// An option or positional argument; each call returns the option for the next (as CLI11's do).
class Option {
public:
    explicit Option(CLI::Option* option) : option_(option) {}
    Option* Required();
    Option* ShowDefault(); // capture_default_str: the default shows in the help
    Option* Delimiter(char c); // one argument holds several values: 1,2,5
    // Values from min to max (the bounds' type is the one the argument is read as for the check).
    Option* Range(int min, int max);
    Option* Range(long min, long max);
    Option* Range(double min, double max);
    Option* Positive(); // CLI::PositiveNumber
    Option* OneOf(const std::vector<int>& values); // CLI::IsMember
    Option* OneOf(const std::vector<std::string>& values);
    Option* SizeWithUnit(); // CLI::AsSizeValue(true): 500GB, 10 MB, 1kb = 1000
    // A check of the text given: "" when it is good, else what is wrong.
    Option* Check(std::function<std::string(const std::string&)> check);

private:
    CLI::Option* option_;
};

// A program or one of its subcommands.
class Command {
public:
    explicit Command(CLI::App* app) : app_(app) {}
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    virtual ~Command();

    // NAME with dashes is an option, without a positional argument. The types it takes are
    // instantiated in CommandLine.cpp (another type is a link error until it is added there).
    template <class T> Option* Add(const std::string& name, T& target, const std::string& help = "");
    template <class T> Option* Flag(const std::string& name, T& target, const std::string& help = "");

    Command* Subcommand(const std::string& name, const std::string& help = "");
    Command* RequireSubcommands(int min, int max); // require_subcommand(min, max)
    Command* RequireSubcommand(); // require_subcommand(1): exactly one
    Command* AllowExtras(); // arguments left over land in Remaining() instead of failing the parse
    Command* Callback(std::function<void()> run); // run when this command was given, after parsing

    std::vector<std::string> Remaining() const;
    size_t Count(const std::string& name) const; // how often option NAME was given
    size_t SubcommandsGiven() const;

protected:
    CLI::App* app_;

private:
    std::vector<std::unique_ptr<Option>> options_;
    std::vector<std::unique_ptr<Command>> subcommands_;
    Option* Keep(CLI::Option* option);
};

// The program's own command line: owns the parser.
class Program : public Command {
public:
    explicit Program(const std::string& description = "");
    ~Program() override;
    // Parses and runs the callbacks: true to go on; false when the program should end with
    // `exitCode` (a bad command line, with the reason on stderr, or --help, with the help on stdout).
    bool Parse(int argc, char** argv, int& exitCode);
    // Parses ARGS (in order, without the program's name); a bad one throws std::invalid_argument.
    void Parse(const std::vector<std::string>& args);

private:
    std::unique_ptr<CLI::App> own_;
};

// The types options and flags are read into (the instantiations CommandLine.cpp holds).
// clang-format off
#define PX_CMDLINE_OPTION_TYPES(X)                                                                                    \
    X(uint8_t) X(uint16_t) X(int) X(unsigned) X(long) X(unsigned long) X(long long) X(unsigned long long) X(double)  \
        X(std::string) X(std::vector<int>) X(std::vector<std::string>)
#define PX_CMDLINE_FLAG_TYPES(X) X(bool) X(uint8_t) X(int)
#define PX_CMDLINE_EXTERN_OPTION(T) extern template Option* Command::Add<T>(const std::string&, T&, const std::string&);
#define PX_CMDLINE_EXTERN_FLAG(T) extern template Option* Command::Flag<T>(const std::string&, T&, const std::string&);
PX_CMDLINE_OPTION_TYPES(PX_CMDLINE_EXTERN_OPTION)
PX_CMDLINE_FLAG_TYPES(PX_CMDLINE_EXTERN_FLAG)
#undef PX_CMDLINE_EXTERN_OPTION
#undef PX_CMDLINE_EXTERN_FLAG
// clang-format on

} // namespace cmdline
