#pragma once
// A property bag, as a page's PARAM elements reach a control: values kept as text, with the type
// each was written as.
#include "foundation/ComServer.h"
#include "foundation/Handles.h"
#include <map>
#include <string>

namespace testkit {

class PropertyBag final : public win::com::ComObject<PropertyBag, IPropertyBag> {
public:
    static const win::com::QiEntry* QiTable()
    {
        static const win::com::QiEntry table[] = {PX_QI(PropertyBag, IPropertyBag), {nullptr, 0}};
        return table;
    }
    std::map<std::wstring, std::wstring> values;
    std::map<std::wstring, VARTYPE> written;
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override
    {
        auto it = values.find(name);
        if (it == values.end())
            return E_INVALIDARG;
        VariantClear(v);
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(it->second.c_str());
        return S_OK;
    }
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* v) override
    {
        win::Variant text;
        HRESULT hr = VariantChangeType(text.Get(), v, 0, VT_BSTR);
        if (SUCCEEDED(hr)) {
            values[name] = text->bstrVal ? text->bstrVal : L"";
            written[name] = v->vt;
        }
        return hr;
    }
};

} // namespace testkit
