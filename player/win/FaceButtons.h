#pragma once
// A row of the kit's image buttons for a window without a skin library: each button's four faces
// (normal, hover, pressed, disabled) are drawn once in the viewer's dark look from its label. The
// kit's state machine does the rest; a click reaches the window as skinui::kMsgViewCommand
// (wParam: the command).
#include <windows.h>
#include "ImageButton.h"
#include "foundation/Handles.h"
#include <memory>
#include <string>
#include <vector>

namespace player {

class CFaceButtons final : private skinui::IButtonOwner {
public:
    explicit CFaceButtons(HWND owner);
    ~CFaceButtons() override;
    CFaceButtons(const CFaceButtons&) = delete;
    CFaceButtons& operator=(const CFaceButtons&) = delete;

    void Add(int command, const wchar_t* label, const RECT& where, bool toggle = false);
    // Moves a button (its faces are remade for the new size).
    void Place(int command, const RECT& where);
    void SetChecked(int command, bool checked);
    RECT RectOf(int command) const;

    // The owner's mouse messages (client coordinates); true when a button changed.
    bool MouseDown(int x, int y);
    bool MouseUp(int x, int y);
    bool MouseMove(bool leftHeld, int x, int y);
    void Paint(HDC dc);

private:
    struct Entry;
    Entry* Find(int command) const;
    void MakeFaces(Entry& e);
    void Post(unsigned message, uintptr_t wp, intptr_t lp) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void Draw(skinui::CImageButton& button) override;

    HWND owner_; // not ours
    skinui::CButtonGroup group_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace player
