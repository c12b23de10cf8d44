#include "FaceButtons.h"
#include "SkinDraw.h"
#include "foundation/Dib.h"

namespace player {

namespace {
constexpr COLORREF kFace[4] = {RGB(44, 47, 54), RGB(62, 67, 78), RGB(30, 90, 160), RGB(36, 38, 42)};
constexpr COLORREF kInk[4] = {RGB(220, 224, 232), RGB(255, 255, 255), RGB(255, 255, 255), RGB(110, 112, 118)};
constexpr COLORREF kChecked = RGB(40, 110, 190), kEdge = RGB(80, 86, 98);
} // namespace

struct CFaceButtons::Entry {
    explicit Entry(skinui::CButtonGroup& group) : button(group) {}
    skinui::CImageButton button;
    std::wstring label;
    win::Bitmap faces[4], checkedFaces[4];
};

CFaceButtons::CFaceButtons(HWND owner) : owner_(owner) {}

CFaceButtons::~CFaceButtons() = default;

void CFaceButtons::Add(int command, const wchar_t* label, const RECT& where, bool toggle)
{
    auto e = std::make_unique<Entry>(group_);
    e->label = label;
    skinui::CImageButton& b = e->button;
    b.command = command;
    b.enabled = 1;
    b.visible = 1;
    b.toggle = toggle ? 1 : 0;
    b.owner = this;
    b.rect = {where.left, where.top, where.right, where.bottom};
    MakeFaces(*e);
    if (!entries_.empty())
        entries_.back()->button.next = &b;
    entries_.push_back(std::move(e));
}

void CFaceButtons::Place(int command, const RECT& where)
{
    if (Entry* e = Find(command)) {
        e->button.rect = {where.left, where.top, where.right, where.bottom};
        MakeFaces(*e);
    }
}

void CFaceButtons::SetChecked(int command, bool checked)
{
    if (Entry* e = Find(command); e && e->button.checked != checked) {
        e->button.checked = checked ? 1 : 0;
        Draw(e->button);
    }
}

RECT CFaceButtons::RectOf(int command) const
{
    const Entry* e = Find(command);
    return e ? RECT{e->button.rect.left, e->button.rect.top, e->button.rect.right, e->button.rect.bottom} : RECT{};
}

CFaceButtons::Entry* CFaceButtons::Find(int command) const
{
    for (const auto& e : entries_)
        if (e->button.command == command)
            return e.get();
    return nullptr;
}

void CFaceButtons::MakeFaces(Entry& e)
{
    const int w = e.button.rect.right - e.button.rect.left, h = e.button.rect.bottom - e.button.rect.top;
    win::WindowDC screen(nullptr);
    for (int checked = 0; checked < 2; ++checked) {
        for (int s = 0; s < 4; ++s) {
            const BITMAPINFO bi = win::TopDownDib(w, h, 32);
            void* bits = nullptr;
            win::Bitmap bitmap(w > 0 && h > 0 ? CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0)
                                              : nullptr);
            win::MemoryDC dc(screen.Get());
            if (!bitmap || !dc)
                continue;
            {
                win::ScopedSelect held(dc.Get(), bitmap.Get());
                RECT all{0, 0, w, h};
                win::Brush face(CreateSolidBrush(checked && s != skinui::kPressed ? kChecked : kFace[s]));
                FillRect(dc.Get(), &all, face.Get());
                win::Brush edge(CreateSolidBrush(kEdge));
                FrameRect(dc.Get(), &all, edge.Get());
                SetBkMode(dc.Get(), TRANSPARENT);
                SetTextColor(dc.Get(), kInk[s]);
                win::ScopedSelect font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
                DrawTextW(dc.Get(), e.label.c_str(), -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            (checked ? e.checkedFaces : e.faces)[s] = std::move(bitmap);
        }
    }
    e.button.SetNormalBitmaps(e.faces[0].Get(), e.faces[1].Get(), e.faces[2].Get(), e.faces[3].Get());
    e.button.SetCheckedBitmaps(e.checkedFaces[0].Get(), e.checkedFaces[1].Get(), e.checkedFaces[2].Get(),
                               e.checkedFaces[3].Get());
}

bool CFaceButtons::MouseDown(int x, int y) { return !entries_.empty() && entries_[0]->button.MouseDown(x, y); }
bool CFaceButtons::MouseUp(int x, int y) { return !entries_.empty() && entries_[0]->button.MouseUp(x, y); }
bool CFaceButtons::MouseMove(bool leftHeld, int x, int y)
{
    return !entries_.empty() &&
        entries_[0]->button.MouseMove(leftHeld ? skinui::kLeftHeld : skinui::kNoneHeld, x, y);
}

void CFaceButtons::Paint(HDC dc)
{
    for (const auto& e : entries_) {
        const skinui::ButtonRect& r = e->button.rect;
        skinui::BitmapSource source;
        source.bitmap = static_cast<HBITMAP>(e->button.Image());
        if (source.bitmap)
            skinui::DrawBitmap(dc, RECT{r.left, r.top, r.right, r.bottom}, source);
    }
}

void CFaceButtons::Post(unsigned message, uintptr_t wp, intptr_t lp)
{
    if (message == skinui::kMsgViewCommand)
        PostMessageW(owner_, message, wp, lp);
}

void CFaceButtons::StartTimer(unsigned, unsigned) {}
void CFaceButtons::StopTimer(unsigned) {}

void CFaceButtons::Draw(skinui::CImageButton& button)
{
    if (!IsWindow(owner_))
        return;
    win::WindowDC dc(owner_);
    skinui::BitmapSource source;
    source.bitmap = static_cast<HBITMAP>(button.Image());
    if (source.bitmap)
        skinui::DrawBitmap(dc.Get(), RECT{button.rect.left, button.rect.top, button.rect.right, button.rect.bottom},
                           source);
}

} // namespace player
