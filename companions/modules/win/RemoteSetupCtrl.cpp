#include "RemoteSetupCtrl.h"
#include "SiteSummary.h"

namespace {

// The viewer's look: white on black, labels dimmed.
constexpr COLORREF kBackground = RGB(0, 0, 0), kInk = RGB(255, 255, 255), kLabel = RGB(150, 150, 150),
                   kFrame = RGB(90, 90, 90);
constexpr int kMargin = 20, kTitleHeight = 40, kSiteLineHeight = 24, kDvrLineHeight = 20, kGap = 16,
              kLabelWidth = 150;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;

} // namespace

HRESULT CRemoteSetupCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr)
{
    if (id != kDvrInfo)
        return CSubstituteCtrl::InvokeMember(id, flags, params, result, argErr);
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) || !(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    std::wstring text;
    for (const auto& line : DvrLines())
        text += line.label + L": " + line.value + L"\r\n";
    return TextProperty(text, DISPATCH_PROPERTYGET, params, result, argErr);
}

void CRemoteSetupCtrl::OnSiteTaken()
{
    siteTaken_ = true;
    if (Hwnd())
        StartLink();
}

// A new site starts a new connection; a port the transport cannot take starts none (the site's
// lines say that the port is not valid).
void CRemoteSetupCtrl::StartLink()
{
    link_.reset();
    const VARIANT& port = Value(kPort - kAddress);
    if (port.vt == VT_UI4 && port.ulVal <= 65535) {
        auto link = std::make_unique<CRemoteLink>();
        if (link->Start({Text(0), port.ulVal, Text(2), Text(3)}))
            link_ = std::move(link);
    }
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

std::vector<modules::SummaryLine> CRemoteSetupCtrl::DvrLines() const
{
    return link_ ? link_->Figures().Lines(GetTickCount64()) : modules::DvrFigures().Lines(0);
}

LRESULT CRemoteSetupCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        const LRESULT created = CSubstituteCtrl::OnMessage(msg, wp, lp);
        if (created == 0) {
            SetTimer(Hwnd(), kRefreshTimer, kRefreshMs, nullptr);
            if (siteTaken_)
                StartLink();
        }
        return created;
    }
    case WM_DESTROY:
        KillTimer(Hwnd(), kRefreshTimer);
        link_.reset();
        return CSubstituteCtrl::OnMessage(msg, wp, lp);
    case WM_TIMER:
        if (wp == kRefreshTimer) {
            RECT below{};
            GetClientRect(Hwnd(), &below);
            below.top = BelowCloseButton();
            InvalidateRect(Hwnd(), &below, FALSE);
            return 0;
        }
        return Default(msg, wp, lp);
    default: return CSubstituteCtrl::OnMessage(msg, wp, lp);
    }
}

// Drawn into a back buffer, so that the refresh each second does not flicker.
void CRemoteSetupCtrl::Paint(HDC dc, const RECT& bounds)
{
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    win::MemoryDC back{win::MemoryDC::Later{}};
    back.Create(dc, width, height);
    HDC target = back ? back.Get() : dc;
    const RECT area = back ? RECT{0, 0, width, height} : bounds;

    win::Brush background(CreateSolidBrush(kBackground));
    FillRect(target, &area, background.Get());
    win::Brush frame(CreateSolidBrush(kFrame));
    FrameRect(target, &area, frame.Get());
    SetBkMode(target, TRANSPARENT);
    {
        win::ScopedSelect font(target, titleFont_.Get());
        RECT r{area.left + kMargin, area.top + kMargin, area.right - kMargin, area.top + kMargin + kTitleHeight};
        SetTextColor(target, kInk);
        DrawTextW(target, L"Remote setup", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    }
    const VARIANT& port = Value(kPort - kAddress);
    const auto site = modules::SiteSummary(Text(0), port.vt == VT_UI4 ? std::optional<uint32_t>(port.ulVal) : std::nullopt,
                                           Text(2));
    PaintLines(target, area, site, area.top + kMargin + kTitleHeight, kSiteLineHeight, true);
    PaintLines(target, area, DvrLines(), area.top + BelowCloseButton() + kGap, kDvrLineHeight, false);

    if (back)
        BitBlt(dc, bounds.left, bounds.top, width, height, back.Get(), 0, 0, SRCCOPY);
}

// Label and value per line; with `wrapLast` the last value (the allowed modules, which may be long)
// may take two lines.
void CRemoteSetupCtrl::PaintLines(HDC dc, const RECT& area, const std::vector<modules::SummaryLine>& lines, int top,
                                  int lineHeight, bool wrapLast) const
{
    win::ScopedSelect font(dc, textFont_.Get());
    int y = top;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool twoLines = wrapLast && i + 1 == lines.size();
        const UINT format =
            (twoLines ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE) | DT_END_ELLIPSIS | DT_NOPREFIX;
        RECT label{area.left + kMargin, y, area.left + kMargin + kLabelWidth, y + lineHeight};
        SetTextColor(dc, kLabel);
        DrawTextW(dc, lines[i].label.c_str(), static_cast<int>(lines[i].label.size()), &label, DT_SINGLELINE | DT_NOPREFIX);
        RECT value{label.right, y, area.right - kMargin, y + (twoLines ? 2 : 1) * lineHeight};
        SetTextColor(dc, kInk);
        DrawTextW(dc, lines[i].value.c_str(), static_cast<int>(lines[i].value.size()), &value, format);
        y += lineHeight;
    }
}
