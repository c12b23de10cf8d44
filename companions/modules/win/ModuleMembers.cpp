#include "ModuleMembers.h"

namespace orvmods {

HRESULT ModuleMembers::Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr, bool* changed)
{
    switch (id) {
    case kAddress:
    case kPort:
    case kUser:
    case kPassword: return Member(static_cast<int>(id - kAddress), flags, params, result, argErr, changed);
    case kSetAddr: return SetAddr(flags, params, result, changed);
    case kReceived: {
        if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return S_OK;
        win::Variant text = win::Variant::OfText(ReceivedText());
        if (text->vt != VT_BSTR)
            return E_OUTOFMEMORY;
        *result = text.Detach();
        return S_OK;
    }
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

// Text only, as the type library says; anything else is refused and the member keeps its value.
HRESULT ModuleMembers::Member(int index, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr, bool* changed)
{
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (params.cArgs != 1 || !params.rgvarg)
            return DISP_E_BADPARAMCOUNT;
        if (params.cNamedArgs != 1 || !params.rgdispidNamedArgs || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        VARIANT& arg = params.rgvarg[0];
        win::Variant value;
        if (((arg.vt & VT_BYREF) && !arg.byref) || FAILED(VariantCopyInd(value.Get(), &arg)) || value->vt != VT_BSTR) {
            if (argErr)
                *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        values_[index] = std::move(value);
        if (changed)
            *changed = true;
        return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
        if (params.cArgs != 0)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return S_OK;
        VariantInit(result);
        return VariantCopy(result, values_[index].Get());
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Answers whether address, port and user are there, as the viewer does.
HRESULT ModuleMembers::SetAddr(WORD flags, DISPPARAMS& params, VARIANT* result, bool* changed)
{
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    ++setAddrCalls_;
    setAddrAnswer_ = !Text(0).empty() && !Text(1).empty() && !Text(2).empty();
    if (result) {
        VariantInit(result);
        result->vt = VT_BOOL;
        result->boolVal = setAddrAnswer_ ? VARIANT_TRUE : VARIANT_FALSE;
    }
    if (changed)
        *changed = true;
    return S_OK;
}

std::wstring ModuleMembers::Text(int index) const
{
    if (index < 0 || index > 3)
        return {};
    const VARIANT& v = *values_[index].Get();
    return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
}

std::wstring ModuleMembers::ReceivedText() const
{
    auto given = [this](int index) { return values_[index]->vt != VT_EMPTY; };
    const std::wstring none = L"(not given)";
    std::wstring t = std::wstring(name_) + L"\r\n";
    t += L"Address: " + (given(0) ? Text(0) : none) + L"\r\n";
    t += L"Port: " + (given(1) ? Text(1) + L" (VT_BSTR)" : none) + L"\r\n";
    t += L"User: " + (given(2) ? Text(2) : none) + L"\r\n";
    t += L"Password: " + (given(3) ? std::to_wstring(Text(3).size()) + L" characters" : none) + L"\r\n";
    t += setAddrCalls_ == 0 ? std::wstring(L"SetAddr: not called")
                            : L"SetAddr: called " + std::to_wstring(setAddrCalls_) + L" time(s), answered " +
            (setAddrAnswer_ ? L"TRUE" : L"FALSE");
    return t + L"\r\n";
}

std::wstring SpeedText(int quarters)
{
    switch (quarters) {
    case 1: return L"1/4x";
    case 2: return L"1/2x";
    default: return std::to_wstring(quarters / 4) + L"x";
    }
}

} // namespace orvmods
