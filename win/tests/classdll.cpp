// A DLL that registers a window class of its own and unregisters it when it unloads.
#include "foundation/Module.h"
#include "foundation/Window.h"

namespace {
class Probe final : public win::Window {
public:
    bool Make() { return CreateEx(0, L"PxProbeWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr, 0); }
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override { return msg == WM_USER ? 4242 : Default(msg, wp, lp); }
};
} // namespace

// Registers the class, makes a window, asks it a question, destroys it: 4242 when all worked.
extern "C" __declspec(dllexport) LRESULT ProbeWindow()
{
    return win::Barrier("ProbeWindow", LRESULT(-1), [] {
        if (!win::RegisterModuleClass(win::Window::ClassOf(L"PxProbeWindow")))
            return LRESULT(-1);
        Probe p;
        if (!p.Make())
            return LRESULT(-2);
        return SendMessageW(p.Hwnd(), WM_USER, 0, 0);
    });
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && !reserved)
        win::UnregisterModuleClasses();
    return TRUE;
}
