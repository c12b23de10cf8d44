// dvrtool: the administrator's command-line tool for DVR audio, time stamps, probing and recording.
#include "Command.h"
#include <iostream>

int main(int argc, char** argv)
{
    cmdline::Program app{"dvrtool: command-line tools for DVRs and their streams"};
    app.RequireSubcommand();
    for (auto& install : dvrtool::Installers())
        install(app);
    try {
        if (int code = 0; !app.Parse(argc, argv, code))
            return code;
    } catch (const dvrtool::Failure& e) {
        if (*e.what())
            std::cerr << "dvrtool: " << e.what() << "\n";
        return e.Code();
    }
    return 0;
}
