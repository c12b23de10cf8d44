#pragma once
// The manager's remote-setup module, until a real remote setup exists: in the viewer's look (white
// on black) it shows the site the manager handed it, and, once SetAddr has taken that site, what
// this system learns of the DVR through the viewer's own connection: the connection's state, the
// rights the login answer states, the channel count, each camera's picture size, frame rate and bit
// rate as its stream arrives, and the DVR's local time and zone. Refreshed once a second.
//
// DvrInfo (DISPID 101) reads those lines back as text, for a script or a test. Safe for scripting:
// it connects only to the site it was handed and sends only what the viewer sends.
#include "RemoteLink.h"
#include "SubstituteCtrl.h"
#include <memory>

class CRemoteSetupCtrl final : public CSubstituteCtrl {
public:
    enum : DISPID { kDvrInfo = 101 };
    CRemoteSetupCtrl() : CSubstituteCtrl(kRemoteSetupKind) {}

private:
    ~CRemoteSetupCtrl() override = default;
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr) override;
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnSiteTaken() override;
    void OnFinalRelease() override { link_.reset(); }
    void Paint(HDC dc, const RECT& bounds) override;

    void StartLink();
    std::vector<modules::SummaryLine> DvrLines() const;
    void PaintLines(HDC dc, const RECT& bounds, const std::vector<modules::SummaryLine>& lines, int top,
                    int lineHeight, bool wrapLast) const;

    std::unique_ptr<CRemoteLink> link_; // while the site is taken and the window lives
    bool siteTaken_ = false; // SetAddr took the site, perhaps before the window existed
};
