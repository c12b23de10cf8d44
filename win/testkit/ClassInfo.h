#pragma once
// A control's class information as a container reads it: the class id of its coclass and the
// dispinterface of its events (IProvideClassInfo2).
#include <ocidl.h>
#include <gtest/gtest.h>
#include "foundation/ComPtr.h"

namespace testkit {

inline ::testing::AssertionResult NamesItsClass(IUnknown* control, REFCLSID clsid, REFIID events)
{
    win::ComPtr<IProvideClassInfo2> info;
    if (FAILED(control->QueryInterface(IID_IProvideClassInfo2, info.PutVoid())))
        return ::testing::AssertionFailure() << "no IProvideClassInfo2";
    GUID source{};
    if (info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source) != S_OK || !IsEqualIID(source, events))
        return ::testing::AssertionFailure() << "not the events' dispinterface";
    win::ComPtr<ITypeInfo> coclass;
    TYPEATTR* attr = nullptr;
    if (info->GetClassInfo(coclass.Put()) != S_OK || coclass->GetTypeAttr(&attr) != S_OK)
        return ::testing::AssertionFailure() << "no coclass type information";
    const bool same = IsEqualCLSID(attr->guid, clsid);
    coclass->ReleaseTypeAttr(attr);
    return same ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "another class id";
}

} // namespace testkit
