// dvrtool: the administrator's command-line tool for DVR audio, time stamps, probing and recording.
#include "Command.h"
#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app{"dvrtool: command-line tools for DVRs and their streams"};
    app.require_subcommand(1);
    for (auto& install : dvrtool::Installers())
        install(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        if (e.what() && *e.what())
            std::cerr << "dvrtool: " << e.what() << "\n";
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return 0;
}
