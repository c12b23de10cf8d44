#pragma once
// The members every module control takes from its container, as Orvex hands a site over: address,
// port, user and password as text (DISPIDs 1 to 4), SetAddr (5), and Received (100), the text of
// what arrived. The player and the search hold one each; the stand-ins keep their own, which
// accept other value types and show the type.
#include <windows.h>
#include <oaidl.h>
#include "foundation/Handles.h"
#include <string>

namespace orvmods {

class ModuleMembers {
public:
    enum : DISPID { kAddress = 1, kPort = 2, kUser = 3, kPassword = 4, kSetAddr = 5, kReceived = 100 };

    // name: the first line of Received, e.g. "Player module".
    explicit ModuleMembers(const wchar_t* name) : name_(name) {}

    // One of the members above; DISP_E_MEMBERNOTFOUND for any other DISPID. *changed (when given)
    // becomes true when a value was put or SetAddr was called.
    HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr, bool* changed);

    // DISPIDs 1 to 4 as text (index 0 to 3); empty when not given or not text.
    std::wstring Text(int index) const;
    // One line each: the module, address, port and its type, user, the password's length (never
    // the password), SetAddr.
    std::wstring ReceivedText() const;
    // The latest SetAddr's answer: address, port and user all given.
    bool SiteTaken() const { return setAddrAnswer_; }

private:
    HRESULT Member(int index, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr, bool* changed);
    HRESULT SetAddr(WORD flags, DISPPARAMS& params, VARIANT* result, bool* changed);

    const wchar_t* name_;
    win::Variant values_[4]; // DISPIDs 1 to 4, as they came (VT_EMPTY until then)
    int setAddrCalls_ = 0;
    bool setAddrAnswer_ = false;
};

// The play speed in quarters of normal (1 = 1/4x, 4 = 1x, 64 = 16x) as the transport shows it.
std::wstring SpeedText(int quarters);

} // namespace orvmods
