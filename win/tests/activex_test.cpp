// The ActiveX control base under a tiny control of two text properties: hosted by the foundation's
// ControlHost, persisted through a bag and a stream, asked about its safety, its class and its
// event point, and gone in order at its last Release with every reference given back.
#include "ClassInfo.h"
#include "PropertyBag.h"
#include "TestKit.h"
#include "Tiny_h.h"
#include "foundation/ActiveXControl.h"
#include "foundation/ControlHost.h"
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using win::ComPtr;

std::vector<std::string> g_seen; // the tiny control's window and teardown, in order

const win::ControlClass kTinyClass = {
    &CLSID_Tiny, &DIID__DTiny,    &DIID__DTinyEvents,
    nullptr,     L"Tiny Control", OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT};

class TinyCtrl final : public win::ActiveXControl {
public:
    TinyCtrl() : ActiveXControl(kTinyClass) {}

private:
    ~TinyCtrl() override { g_seen.push_back("deleted"); }
    bool CreateControlWindow(HWND parent, const RECT& pos) override
    {
        return CreateChildWindow(L"PxTinyCtrl", parent, pos);
    }
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) override
    {
        std::wstring* member = id == 1 ? &caption_ : id == 2 ? &note_ : nullptr;
        return member ? TextProperty(*member, flags, params, result, argErr) : DISP_E_MEMBERNOTFOUND;
    }
    void ExchangeProperties(win::PropertyExchange& px) override
    {
        px.Text(L"Caption", caption_);
        px.Text(L"Note", note_);
    }
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_DESTROY)
            g_seen.push_back("window destroyed");
        return Default(msg, wp, lp);
    }
    void OnFinalRelease() override { g_seen.push_back("final release"); }

    std::wstring caption_, note_;
};

template <class T> ComPtr<T> MakeTiny(REFIID iid = __uuidof(T))
{
    ComPtr<IOleObject> object;
    object.Attach(static_cast<IOleObject*>(new TinyCtrl));
    ComPtr<T> itf;
    object->QueryInterface(iid, itf.PutVoid());
    return itf;
}

struct CountedSink : IUnknown {
    long refs = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

std::wstring Get(IUnknown* control, DISPID id)
{
    ComPtr<IDispatch> d;
    std::wstring text = L"<failed>";
    if (SUCCEEDED(control->QueryInterface(IID_IDispatch, d.PutVoid())))
        win::dispatch::GetText(d.Get(), id, text);
    return text;
}

class ActiveXBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        g_seen.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(win::com::ModuleCount(), 0) << "every object of the test is gone";
        OleUninitialize();
    }
};

TEST_F(ActiveXBase, ActivatesInPlaceDeactivatesWithoutASiteAndTearsDownInOrder)
{
    win::ControlHost host;
    ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 320, 240}, WS_OVERLAPPEDWINDOW));
    ComPtr<IOleObject> control = MakeTiny<IOleObject>();
    ComPtr<testkit::PropertyBag> bag;
    bag.Attach(new testkit::PropertyBag);
    bag->values[L"Caption"] = L"hello";
    ASSERT_EQ(host.HostControl(control.Get(), bag.Get()), S_OK);
    HWND first = host.ControlWindow();
    ASSERT_TRUE(first && GetParent(first) == host.Hwnd());
    EXPECT_EQ(Get(control.Get(), 1), L"hello");
    EXPECT_EQ(Get(control.Get(), 2), L"") << "a name the bag lacks";
    LPOLESTR name = const_cast<LPOLESTR>(L"Note");
    DISPID id = 0;
    EXPECT_EQ(host.Dispatch()->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 2) << "from the type library";

    ComPtr<IOleClientSite> site;
    ASSERT_EQ(control->GetClientSite(site.Put()), S_OK);
    EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
    EXPECT_FALSE(IsWindow(first));
    ComPtr<IOleClientSite> none;
    control->GetClientSite(none.Put());
    EXPECT_FALSE(none);
    host.DestroyControl();

    // Active again by hand, with a sink, and let go without Close or SetClientSite(NULL).
    RECT r{0, 0, 100, 80};
    ASSERT_EQ(control->SetClientSite(site.Get()), S_OK);
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, host.Hwnd(), &r), S_OK);
    HWND second = nullptr;
    ComPtr<IOleWindow> window;
    control.As(window);
    ASSERT_EQ(window->GetWindow(&second), S_OK);
    window.Release();
    CountedSink sink;
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<IConnectionPoint> point;
    control.As(cpc);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID__DTinyEvents, point.Put()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    point.Release();
    cpc.Release();
    g_seen.clear();
    EXPECT_EQ(control.Detach()->Release(), 0u);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(g_seen, (std::vector<std::string>{"window destroyed", "final release", "deleted"}));
    EXPECT_EQ(sink.refs, 1) << "the sink given back";
}

TEST_F(ActiveXBase, PersistsThroughABagAndAStreamAllOrNothing)
{
    ComPtr<IPersistStreamInit> a = MakeTiny<IPersistStreamInit>();
    ComPtr<IPersistPropertyBag> aBag;
    a.As(aBag);
    ComPtr<testkit::PropertyBag> bag;
    bag.Attach(new testkit::PropertyBag);
    bag->values = {{L"Caption", L"Kamera \u00fc"}, {L"Note", L"n"}};
    ASSERT_EQ(aBag->Load(bag.Get(), nullptr), S_OK);
    ComPtr<testkit::PropertyBag> saved;
    saved.Attach(new testkit::PropertyBag);
    ASSERT_EQ(aBag->Save(saved.Get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(saved->values, bag->values);
    for (const auto& [name, type] : saved->written)
        EXPECT_EQ(type, VT_BSTR) << "text properties are saved as text";

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ULARGE_INTEGER max{};
    EXPECT_EQ(a->GetSizeMax(&max), S_OK);
    EXPECT_EQ(max.QuadPart, 4u + (4 + 8 * 2) + (4 + 1 * 2));
    ASSERT_EQ(a->Save(stream.Get(), TRUE), S_OK);
    ULARGE_INTEGER end{};
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(end.QuadPart, max.QuadPart);

    ComPtr<IPersistStreamInit> b = MakeTiny<IPersistStreamInit>();
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(b->Load(stream.Get()), S_OK);
    EXPECT_EQ(Get(b.Get(), 1), L"Kamera \u00fc");
    EXPECT_EQ(Get(b.Get(), 2), L"n");

    // A stream cut inside the second string leaves the control as it was.
    ComPtr<IStream> cut;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, cut.Put()), S_OK);
    const DWORD version = 0x00010000, one = 1, ten = 10;
    cut->Write(&version, 4, nullptr);
    cut->Write(&one, 4, nullptr);
    cut->Write(L"A", 2, nullptr);
    cut->Write(&ten, 4, nullptr);
    cut->Write(L"xy", 4, nullptr);
    cut->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(b->Load(cut.Get()), E_FAIL);
    EXPECT_EQ(Get(b.Get(), 1), L"Kamera \u00fc");
    const DWORD huge[] = {0x00010000, 4097};
    cut->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    cut->Write(huge, sizeof huge, nullptr);
    cut->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(b->Load(cut.Get()), E_FAIL) << "longer than any persisted string";

    EXPECT_EQ(b->InitNew(), S_OK);
    EXPECT_EQ(Get(b.Get(), 1), L"");
}

TEST_F(ActiveXBase, IsSafeForScriptingNamesItsClassAndKeepsItsEventSinks)
{
    ComPtr<IObjectSafety> safety = MakeTiny<IObjectSafety>(IID_IObjectSafety);
    constexpr DWORD kBoth = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(DIID__DTiny, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, kBoth);
    EXPECT_EQ(enabled, kBoth);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IStream, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, kBoth, kBoth), S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, kBoth, 0), E_FAIL) << "never unsafe";
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0x10 | kBoth, kBoth), E_FAIL);

    ComPtr<IDispatch> dispatch, byIid;
    safety.As(dispatch);
    safety->QueryInterface(DIID__DTiny, byIid.PutVoid());
    EXPECT_EQ(byIid.Get(), dispatch.Get());
    EXPECT_TRUE(testkit::NamesItsClass(safety.Get(), CLSID_Tiny, DIID__DTinyEvents));

    CountedSink sink;
    ComPtr<IConnectionPointContainer> cpc;
    safety.As(cpc);
    ComPtr<IConnectionPoint> one, other;
    EXPECT_EQ(cpc->FindConnectionPoint(DIID__DTiny, one.Put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID__DTinyEvents, one.Put()), S_OK);
    ASSERT_EQ(cpc->FindConnectionPoint(DIID__DTinyEvents, other.Put()), S_OK);
    DWORD first = 0, second = 0;
    ASSERT_EQ(one->Advise(&sink, &first), S_OK);
    ASSERT_EQ(one->Advise(&sink, &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(sink.refs, 3);
    EXPECT_EQ(other->Unadvise(first), S_OK) << "every point sees the same connections";
    EXPECT_EQ(one->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(sink.refs, 2);

    one.Release();
    other.Release();
    cpc.Release();
    byIid.Release();
    dispatch.Release();
    EXPECT_EQ(safety.Detach()->Release(), 0u);
    EXPECT_EQ(sink.refs, 1) << "the sink still advised is given back at the last Release";
}

} // namespace
