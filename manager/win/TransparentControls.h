#pragma once
// Labels and radio/check buttons drawn straight onto a skinned dialog: only their text is drawn, so
// the dialog's picture shows around it. The dialog must not clip its children (no
// WS_CLIPCHILDREN), since the picture behind them is the dialog's own painting.
#include <windows.h>
#include "foundation/Handles.h"
#include "foundation/Window.h"

namespace manager {

// A static control that draws its text (10-point Arial, at most 124 characters, one line, centred
// vertically) in its text colour and nothing else.
class CTransparentStatic : public win::Subclass {
public:
    bool Bind(HWND label);
    bool Bind(HWND dialog, int id) { return Bind(GetDlgItem(dialog, id)); }
    // Colour of the text (initially black) and DrawText flags besides DT_SINGLELINE | DT_VCENTER.
    void SetTextColor(COLORREF colour);
    void SetFormat(UINT format);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnPaint();
    LRESULT OnSetText(WPARAM wp, LPARAM lp);

    COLORREF colour_ = 0;
    UINT format_ = 0;
    win::Font font_;
};

// A radio or check button whose text is light grey (210, 210, 210) on no background at all: it
// answers its own colour query on its way to the dialog, so the dialog has nothing to do for it.
class CTransparentButton {
public:
    bool Bind(HWND button);
    bool Bind(HWND dialog, int id) { return Bind(GetDlgItem(dialog, id)); }
    HWND Hwnd() const { return button_; }

private:
    class ColourAnswer final : public win::Subclass {
    public:
        explicit ColourAnswer(CTransparentButton& owner) : owner_(owner) {}

    private:
        LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
        CTransparentButton& owner_;
    };
    HWND button_ = nullptr; // not ours
    ColourAnswer parent_{*this}; // on the button's parent, which sends the colour query there
};

} // namespace manager
