#pragma once
// Orvex's application object: one copy per machine (a named mutex held for the life of the process),
// the common controls, OLE for the module controls, and the main window run modally.
#include <windows.h>
#include "foundation/Handles.h"

namespace manager {

class CWebApplicationManagerApp {
public:
    // Runs the program; false (the program then ends) in every case, as the main window's end is the
    // program's.
    bool InitInstance();

private:
    win::KernelHandle instanceMutex_;
};

} // namespace manager
