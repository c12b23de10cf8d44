// The one unit of the native tools that includes CLI11 (CommandLine.h says why).
#include "CommandLine.h"
#include <CLI/CLI.hpp>
#include <stdexcept>

namespace cmdline {

Option* Option::Required()
{
    option_->required();
    return this;
}
Option* Option::ShowDefault()
{
    option_->capture_default_str();
    return this;
}
Option* Option::Delimiter(char c)
{
    option_->delimiter(c);
    return this;
}
Option* Option::Range(int min, int max)
{
    option_->check(CLI::Range(min, max));
    return this;
}
Option* Option::Range(long min, long max)
{
    option_->check(CLI::Range(min, max));
    return this;
}
Option* Option::Range(double min, double max)
{
    option_->check(CLI::Range(min, max));
    return this;
}
Option* Option::Positive()
{
    option_->check(CLI::PositiveNumber);
    return this;
}
Option* Option::OneOf(const std::vector<int>& values)
{
    option_->check(CLI::IsMember(values));
    return this;
}
Option* Option::OneOf(const std::vector<std::string>& values)
{
    option_->check(CLI::IsMember(values));
    return this;
}
Option* Option::SizeWithUnit()
{
    option_->transform(CLI::AsSizeValue(true));
    return this;
}
Option* Option::Check(std::function<std::string(const std::string&)> check)
{
    option_->check(std::move(check));
    return this;
}

Command::~Command() = default;

Option* Command::Keep(CLI::Option* option)
{
    options_.push_back(std::make_unique<Option>(option));
    return options_.back().get();
}

template <class T> Option* Command::Add(const std::string& name, T& target, const std::string& help)
{
    return Keep(app_->add_option(name, target, help));
}

template <class T> Option* Command::Flag(const std::string& name, T& target, const std::string& help)
{
    return Keep(app_->add_flag(name, target, help));
}

#define PX_CMDLINE_OPTION(T) template Option* Command::Add<T>(const std::string&, T&, const std::string&);
#define PX_CMDLINE_FLAG(T) template Option* Command::Flag<T>(const std::string&, T&, const std::string&);
PX_CMDLINE_OPTION_TYPES(PX_CMDLINE_OPTION)
PX_CMDLINE_FLAG_TYPES(PX_CMDLINE_FLAG)
#undef PX_CMDLINE_OPTION
#undef PX_CMDLINE_FLAG

Command* Command::Subcommand(const std::string& name, const std::string& help)
{
    subcommands_.push_back(std::make_unique<Command>(app_->add_subcommand(name, help)));
    return subcommands_.back().get();
}
Command* Command::RequireSubcommands(int min, int max)
{
    app_->require_subcommand(min, max);
    return this;
}
Command* Command::RequireSubcommand()
{
    app_->require_subcommand(1);
    return this;
}
Command* Command::AllowExtras()
{
    app_->allow_extras();
    return this;
}
Command* Command::Callback(std::function<void()> run)
{
    app_->callback(std::move(run));
    return this;
}
std::vector<std::string> Command::Remaining() const { return app_->remaining(); }
size_t Command::Count(const std::string& name) const { return app_->count(name); }
size_t Command::SubcommandsGiven() const { return app_->get_subcommands().size(); }

Program::Program(const std::string& description) : Command(nullptr), own_(std::make_unique<CLI::App>(description))
{
    app_ = own_.get();
}

Program::~Program() = default;

bool Program::Parse(int argc, char** argv, int& exitCode)
{
    try {
        own_->parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        exitCode = own_->exit(e);
        return false;
    }
    return true;
}

void Program::Parse(const std::vector<std::string>& args)
{
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    try {
        own_->parse(reversed);
    } catch (const CLI::ParseError& e) {
        throw std::invalid_argument(e.what());
    }
}

} // namespace cmdline
