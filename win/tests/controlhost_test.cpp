// The control host with a control written elsewhere: the platform's media player control, created
// by class identifier, activated in place, resized, its events and our ambient properties checked,
// then closed with every reference given back.
#include "TestKit.h"
#include "foundation/ComPtr.h"
#include "foundation/ControlHost.h"
#include "foundation/Handles.h"
#include <gtest/gtest.h>
#include <wmp.h>
#include <wmpids.h>
#include <vector>

namespace {

// An event sink that records the member identifiers it is called with.
struct RecordingSink : IDispatch {
    long refs = 1;
    std::vector<DISPID> calls;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        calls.push_back(id);
        return S_OK;
    }
};

HRESULT Ambient(IDispatch* site, DISPID id, win::Variant& value)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return site->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.Put(), nullptr, nullptr);
}

struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

TEST(ControlHostForeign, HostsTheMediaPlayerAndGivesEveryReferenceBack)
{
    Apartment apartment;
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"WMPlayer.OCX", &clsid), S_OK);
    RecordingSink sink;
    win::ComPtr<IUnknown> control; // an extra reference of ours, to count the control's
    win::ComPtr<IOleClientSite> site; // the same for our site
    {
        win::ControlHost host;
        ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 320, 240}, WS_POPUP | WS_VISIBLE));
        host.SetAmbientUserMode(false);
        host.SetAmbientDisplayName(L"Camera 1");
        ASSERT_EQ(host.CreateControl(clsid), S_OK);
        control.Assign(host.Control());
        HWND player = host.ControlWindow();
        ASSERT_NE(player, nullptr) << "activated in place";
        EXPECT_TRUE(IsChild(host.Hwnd(), player));

        SetWindowPos(host.Hwnd(), nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOMOVE);
        RECT r{};
        GetWindowRect(player, &r);
        EXPECT_EQ(r.right - r.left, 400);
        EXPECT_EQ(r.bottom - r.top, 300);

        site.Assign(host.Site());
        win::ComPtr<IDispatch> ambient;
        ASSERT_EQ(site.As(ambient), S_OK);
        win::Variant v;
        ASSERT_EQ(Ambient(ambient.Get(), DISPID_AMBIENT_USERMODE, v), S_OK);
        EXPECT_EQ(v->vt, VT_BOOL);
        EXPECT_EQ(v->boolVal, VARIANT_FALSE);
        ASSERT_EQ(Ambient(ambient.Get(), DISPID_AMBIENT_DISPLAYNAME, v), S_OK);
        EXPECT_STREQ(v->bstrVal, L"Camera 1");
        host.SetAmbientBackColor(RGB(10, 20, 30));
        ASSERT_EQ(Ambient(ambient.Get(), DISPID_AMBIENT_BACKCOLOR, v), S_OK);
        EXPECT_EQ(v->lVal, RGB(10, 20, 30));
        EXPECT_EQ(Ambient(ambient.Get(), DISPID_AMBIENT_FONT, v), DISP_E_MEMBERNOTFOUND) << "none set";
        FONTDESC desc{sizeof desc, const_cast<LPOLESTR>(L"Tahoma"), {90000, 0}, FW_NORMAL, ANSI_CHARSET, 0, 0, 0};
        win::ComPtr<IFontDisp> font;
        ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, font.PutVoid()), S_OK);
        host.SetAmbientFont(font.Get());
        ASSERT_EQ(Ambient(ambient.Get(), DISPID_AMBIENT_FONT, v), S_OK);
        EXPECT_EQ(v->vt, VT_DISPATCH);
        EXPECT_EQ(v->pdispVal, static_cast<IDispatch*>(font.Get()));
        v.Reset();
        EXPECT_EQ(Ambient(ambient.Get(), 12345, v), DISP_E_MEMBERNOTFOUND);
        ambient.Release();

        ASSERT_EQ(host.AdviseEvents(&sink), S_OK);
        win::ComPtr<IWMPPlayer4> wmp;
        ASSERT_EQ(control->QueryInterface(__uuidof(IWMPPlayer4), wmp.PutVoid()), S_OK);
        win::ComPtr<IWMPSettings> settings;
        ASSERT_EQ(wmp->get_settings(settings.Put()), S_OK);
        settings->put_autoStart(VARIANT_FALSE);
        win::Bstr url(SysAllocString(L"C:\\nothing-here.mp3"));
        EXPECT_EQ(wmp->put_URL(url.Get()), S_OK);
        EXPECT_NE(std::find(sink.calls.begin(), sink.calls.end(), DISPID_WMPCOREEVENT_OPENSTATECHANGE),
                  sink.calls.end());
        EXPECT_NE(std::find(sink.calls.begin(), sink.calls.end(), DISPID_WMPCOREEVENT_PLAYSTATECHANGE),
                  sink.calls.end());
        settings.Release();
        wmp.Release();

        host.DestroyControl();
        EXPECT_EQ(host.ControlWindow(), nullptr);
        EXPECT_EQ(sink.refs, 1) << "the sink is disconnected with the control";
        EXPECT_FALSE(IsWindow(player)) << "deactivated";
        font.Release();
    }
    EXPECT_EQ(control.Detach()->Release(), 0u) << "nobody else holds the control";
    // Wine's player keeps the frame that GetWindowContext hands it and never releases it (its
    // activation code drops the pointer): with the player gone, that one reference is all that
    // may remain besides ours.
    IOleClientSite* ours = site.Detach();
    EXPECT_EQ(ours->Release(), 1u) << "nobody but the player's lost frame holds our site";
    ours->Release();
}

} // namespace
