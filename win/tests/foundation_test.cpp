// The foundation's own tests: window and dialog bases, handle owners, the trace and the COM server
// skeleton, each through the real platform calls.
#include "TestIds.h"
#include "TestKit.h"
#include "foundation/ComPtr.h"
#include "foundation/ComServer.h"
#include "foundation/Dialog.h"
#include "foundation/Handles.h"
#include "foundation/Trace.h"
#include <gtest/gtest.h>
#include <ole2.h>
#include <stdexcept>

namespace {

class Thrower final : public win::Window {
public:
    bool throwOnCreate = false;
    int finals = 0;
    bool Make()
    {
        static bool reg = win::RegisterModuleClass(ClassOf(L"PxThrower"));
        return reg && CreateEx(0, L"PxThrower", L"", WS_POPUP, 0, 0, 10, 10, nullptr, 0);
    }

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        switch (msg) {
        case WM_CREATE: return throwOnCreate ? throw std::runtime_error("create") : 0;
        case WM_USER + 1: throw std::runtime_error("handler");
        case WM_USER + 2: return 77;
        }
        return Default(msg, wp, lp);
    }
    void OnFinalMessage() override { ++finals; }
};

TEST(WindowBase, ThrowingHandlersAreAnsweredWithTheirFailureValue)
{
    testkit::TraceCapture trace;
    Thrower w;
    ASSERT_TRUE(w.Make());
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(trace.Contains(L"exception in the window procedure, message 0x0401"));
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 2, 0, 0), 77) << "the window keeps working";
    HWND h = w.Hwnd();
    DestroyWindow(h);
    EXPECT_EQ(w.Hwnd(), nullptr);
    EXPECT_EQ(w.finals, 1);
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_USERDATA), 0);

    Thrower failing;
    failing.throwOnCreate = true;
    EXPECT_FALSE(failing.Make()) << "a throwing WM_CREATE fails the creation";
    EXPECT_EQ(failing.Hwnd(), nullptr);
    EXPECT_EQ(failing.finals, 1);
}

TEST(WindowBase, ADllsClassesGoWithItAndComeBackWithIt)
{
    using Probe = LRESULT (*)();
    for (int round = 0; round < 2; ++round) {
        HMODULE dll = LoadLibraryW(L"win_classdll.dll");
        ASSERT_NE(dll, nullptr);
        auto probe = reinterpret_cast<Probe>(reinterpret_cast<void*>(GetProcAddress(dll, "ProbeWindow")));
        ASSERT_NE(probe, nullptr);
        EXPECT_EQ(probe(), 4242) << "round " << round;
        WNDCLASSEXW wc{sizeof wc};
        EXPECT_TRUE(GetClassInfoExW(dll, L"PxProbeWindow", &wc)) << "registered with the DLL's own instance";
        EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"PxProbeWindow", &wc)) << "not the program's";
        FreeLibrary(dll);
        EXPECT_FALSE(GetClassInfoExW(dll, L"PxProbeWindow", &wc)) << "unregistered at unload";
    }
}

// A dialog that swallows the keys it is told to, and posts its test input from OnInit.
class KeyDialog final : public win::Dialog {
public:
    UINT swallow = 0;          // a virtual key to swallow
    UINT press = 0;            // the key posted to the dialog
    INT_PTR endWith = 0;       // posted after the key: End(endWith) unless the key ended it first
    bool ownerDisabled = false;
    HWND owner = nullptr;

private:
    bool OnInit() override
    {
        ownerDisabled = owner && !IsWindowEnabled(owner);
        PostMessageW(Hwnd(), WM_KEYDOWN, press, 0);
        PostMessageW(Hwnd(), WM_APP, 0, 0);
        return true;
    }
    bool OnKey(const MSG& m) override { return m.message == WM_KEYDOWN && m.wParam == swallow; }
    INT_PTR OnMessage(UINT msg, WPARAM, LPARAM) override
    {
        if (msg != WM_APP)
            return FALSE;
        End(endWith);
        return TRUE;
    }
};

class CountingHook final : public win::Subclass {
public:
    int seen = 0;

private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        seen += msg == WM_USER + 7;
        return Default(msg, wp, lp);
    }
};

// A host window that someone else hooked before us with SetWindowLongPtr, and that unhooks itself
// (puts its saved procedure back) while it handles a message, as a container does when it is
// destroyed: the procedure it put back must stay.
WNDPROC g_savedProc = nullptr;
win::Subclass* g_ourHook = nullptr;
LRESULT CALLBACK ForeignHook(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_USER + 8) {
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_savedProc));
        g_ourHook->Detach(); // what the hooked control does when the container releases it
        return 1;
    }
    return CallWindowProcW(g_savedProc, wnd, msg, wp, lp);
}

TEST(WindowSubclass, HooksComeOffInAnyOrderAndAForeignUnhookIsNotUndone)
{
    for (bool firstGoesFirst : {true, false}) {
        testkit::RecorderWindow w(WM_USER + 7, WM_USER + 7);
        const LONG_PTR original = GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC);
        CountingHook hooks[2];
        ASSERT_TRUE(hooks[0].Attach(w.Hwnd()) && hooks[1].Attach(w.Hwnd()));
        SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
        hooks[firstGoesFirst ? 0 : 1].Detach();
        SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
        EXPECT_EQ(hooks[firstGoesFirst ? 1 : 0].seen, 2);
        hooks[firstGoesFirst ? 1 : 0].Detach();
        EXPECT_EQ(GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC), original);
        EXPECT_EQ(w.Count(WM_USER + 7), 2u);
    }

    testkit::RecorderWindow w(WM_USER + 7, WM_USER + 7);
    const LONG_PTR original = GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC);
    g_savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignHook)));
    CountingHook ours;
    g_ourHook = &ours;
    ASSERT_TRUE(ours.Attach(w.Hwnd()));
    EXPECT_EQ(SendMessageW(w.Hwnd(), WM_USER + 8, 0, 0), 1);
    EXPECT_EQ(GetWindowLongPtrW(w.Hwnd(), GWLP_WNDPROC), original);
    SendMessageW(w.Hwnd(), WM_USER + 7, 0, 0);
    EXPECT_EQ(ours.seen, 0) << "the hook is off";
    EXPECT_EQ(w.Count(WM_USER + 7), 1u);
}

TEST(DialogBase, KeysReachTheDialogsHooksBeforeTheDialogManager)
{
    testkit::RecorderWindow owner;
    struct Case {
        UINT press, swallow;
        INT_PTR expected;
    } cases[] = {
        {VK_ESCAPE, 0, IDCANCEL},     // Escape is Cancel
        {VK_ESCAPE, VK_ESCAPE, 7},    // unless swallowed
        {VK_RETURN, 0, IDOK},         // Enter is the default button
        {VK_RETURN, VK_RETURN, 7},
    };
    for (const Case& c : cases) {
        KeyDialog d;
        d.press = c.press;
        d.swallow = c.swallow;
        d.endWith = 7;
        d.owner = owner.Hwnd();
        EXPECT_EQ(d.DoModal(owner.Hwnd(), IDD_TEST), c.expected) << c.press << " swallow " << c.swallow;
        EXPECT_TRUE(d.ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
        EXPECT_EQ(d.Hwnd(), nullptr);
    }
    KeyDialog missing;
    EXPECT_EQ(missing.DoModal(owner.Hwnd(), 999), -1) << "no such template";
    EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));
}

TEST(DialogBase, ModelessDialogsGetTheirKeysThroughPreTranslate)
{
    KeyDialog d;
    d.press = VK_ESCAPE;
    d.endWith = 7;
    d.swallow = 0;
    ASSERT_TRUE(d.CreateModeless(nullptr, IDD_TEST));
    MSG m;
    EXPECT_TRUE(testkit::PumpUntil(
        [&] {
            if (!d.Hwnd())
                return true;
            if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE) && !win::Dialog::PreTranslate(&m))
                DispatchMessageW(&m);
            return false;
        },
        2000));
}

// A COM object that counts its references.
struct Counted : IUnknown {
    long refs = 1;
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST(Owners, OneRuleForHandlesAndComPointers)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    win::KernelHandle a(first);
    win::KernelHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), first);
    b.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(first, &flags)) << "Attach closed the handle held before";
    HANDLE kept = b.Detach();
    EXPECT_FALSE(b);
    EXPECT_TRUE(GetHandleInformation(kept, &flags)) << "Detach gave it up without closing";
    CloseHandle(kept);

    win::MemoryDC dc;
    win::Bitmap bmp(CreateCompatibleBitmap(win::WindowDC(nullptr).Get(), 4, 4));
    HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    {
        win::ScopedSelect sel(dc.Get(), bmp.Get());
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bmp.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), before);

    Counted c;
    {
        win::ComPtr<IUnknown> shared, taken;
        shared.Assign(&c);
        EXPECT_EQ(c.refs, 2);
        c.AddRef();
        taken.Attach(&c);
        EXPECT_EQ(c.refs, 3);
        win::ComPtr<IUnknown> moved(std::move(taken));
        EXPECT_EQ(c.refs, 3);
        IUnknown* out = moved.Detach();
        EXPECT_EQ(out, &c);
        out->Release();
    }
    EXPECT_EQ(c.refs, 1);
}

TEST(Trace, LinesAreCutAtTheBufferAndReachTheProgramsSink)
{
    testkit::TraceCapture trace;
    std::wstring longText(3000, L'x');
    win::Trace(L"===>>> %s\n", longText.c_str());
    win::TraceFixme("IOleObject", "SetExtent");
    auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), size_t(win::kTraceChars - 1));
    EXPECT_EQ(lines[1], L"===>>> fixme: IOleObject::SetExtent not implemented\n");
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

TEST(ComSkeleton, RegistersCreatesCountsAndUnregistersFromItsTable)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    testkit::TraceCapture trace;
    HMODULE dll = LoadLibraryW(L"win_comdll.dll");
    ASSERT_NE(dll, nullptr);
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto call = [&](const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)))();
    };
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(dll, path, MAX_PATH);
    const std::wstring clsidKey = L"CLSID\\" + win::com::GuidText(kClsidTestObject);

    ASSERT_EQ(call("DllRegisterServer"), S_OK);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32"), path);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesValue(TEST_PROGID L"\\CLSID"), win::com::GuidText(kClsidTestObject));
    CLSID byProgId{};
    EXPECT_EQ(CLSIDFromProgID(TEST_PROGID, &byProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(byProgId, kClsidTestObject));

    {
        win::ComPtr<IPersist> persist;
        ASSERT_EQ(CoCreateInstance(kClsidTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, persist.PutVoid()), S_OK);
        EXPECT_EQ(call("DllCanUnloadNow"), S_FALSE);
        win::ComPtr<IOleWindow> window;
        ASSERT_EQ(persist.As(window), S_OK);
        win::ComPtr<IUnknown> id1, id2;
        persist.As(id1);
        window.As(id2);
        EXPECT_EQ(id1.Get(), id2.Get()) << "one identity";
        win::ComPtr<IStream> none;
        EXPECT_EQ(persist.As(none), E_NOINTERFACE);
        EXPECT_EQ(none.Get(), nullptr);
        EXPECT_EQ(window->GetWindow(nullptr), E_OUTOFMEMORY) << "what a method throws is answered";
        EXPECT_EQ(window->ContextSensitiveHelp(TRUE), E_NOTIMPL);
        EXPECT_TRUE(trace.Contains(L"fixme: IOleWindow::ContextSensitiveHelp"));
        id1.Release();
        id2.Release();
        window.Release();
        EXPECT_EQ(persist.Detach()->Release(), 0u) << "the last reference";
    }
    EXPECT_EQ(call("DllCanUnloadNow"), S_OK);

    Counted outer;
    win::ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CoCreateInstance(kClsidTestObject, &outer, CLSCTX_INPROC_SERVER,
                               IID_IUnknown, aggregated.PutVoid()),
              CLASS_E_NOAGGREGATION);

    {
        win::ComPtr<IClassFactory> factory;
        ASSERT_EQ(CoGetClassObject(kClsidTestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()), S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        factory.Release();
        EXPECT_EQ(call("DllCanUnloadNow"), S_FALSE) << "a server lock keeps the module";
        ASSERT_EQ(CoGetClassObject(kClsidTestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()), S_OK);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(call("DllCanUnloadNow"), S_OK);

    ASSERT_EQ(call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(ClassesValue(clsidKey + L"\\InprocServer32"), L"<missing>");
    EXPECT_EQ(ClassesValue(TEST_PROGID L"\\CLSID"), L"<missing>");
    HKEY k = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, clsidKey.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    FreeLibrary(dll);
    CoUninitialize();
}

} // namespace
