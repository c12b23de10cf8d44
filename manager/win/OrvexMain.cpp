// Orvex.exe: the DVR site manager.
#include <windows.h>

#include "ManagerApp.h"
#include "foundation/Module.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return win::Barrier("Orvex", 1, [] {
        manager::CWebApplicationManagerApp app;
        app.InitInstance();
        return 0;
    });
}
