#pragma once
// The view's skinned face: the image buttons over the skin's background (a back buffer the buttons
// draw into), the standard controls placed by skin rectangles, and the version label. It posts the
// buttons' messages to the view and answers the connection controller's panel questions.
#include <windows.h>
#include "ImageButton.h"
#include "PanelSkin.h"
#include "ViewParts.h"
#include "foundation/Handles.h"
#include <memory>
#include <string>
#include <vector>

namespace view {

// View commands of the panel's buttons.
enum : int {
    kCmdConnect = 1,
    kCmdDisconnect = 2,
    kCmdFirstChannel = 3, // 3-18
    kCmdFirstLayout = 19, // 19-25
    kCmdFirstPtz = 26, // 26-33 pan and tilt, 36-39 zoom and focus
    kCmdExit = 46,
    kCmdFirstAudio = 64, // 64-67, and 68 which the view ignores
    kCmdSetup = 96,
    kCmdPhone = 97,
};

class ViewPanel final : public connection::IPanelHooks, private skinui::IButtonOwner {
public:
    explicit ViewPanel(const ViewSkin& skin);
    ~ViewPanel() override;
    ViewPanel(const ViewPanel&) = delete;
    ViewPanel& operator=(const ViewPanel&) = delete;

    // Builds the buttons, places the standard controls, loads the back buffer, draws the version
    // label. False when a control could not be created.
    bool Create(HWND view);
    RECT Rect(unsigned short id) const { return PanelRect(skin_, id); }

    // The view's messages for the panel.
    void OnPaint(HDC dc);
    void OnMouse(UINT msg, WPARAM wp, LPARAM lp);
    void OnDrawn(const skinui::ButtonRect* rect);
    void OnRedraw(skinui::CImageButton* button);
    // True when the timer was the repeating button's.
    bool OnTimer(UINT_PTR id);

    skinui::CImageButton* Button(int command) const;
    // Field changes followed by a redraw of the button.
    void SetButton(int command, bool enabled, int state);
    void SetChecked(int command, bool checked);
    // The audio channel buttons: `command` shown pressed and disabled, the others released.
    void ShowAudioChannel(int command);
    // "Ver 0. 9. 1. 24" from this module's version resource, or "Ver Unknown ".
    static std::wstring VersionText();

    // connection::IPanelHooks
    void SetConnectedState(bool connected, bool administrator) override;
    void ReleaseLayoutAndAudioButtons() override;
    void ReleaseLayoutButtons() override;
    bool PhoneButtonDown() override;
    void ReleasePhoneButton() override;
    int SpeedLevel() override;

private:
    void Post(unsigned message, uintptr_t wp, intptr_t lp) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void Draw(skinui::CImageButton& button) override;

    void AddButton(const wchar_t* name, int command, bool toggle, bool checkedSet, bool autoRepeat);
    bool CreateControls();
    void DrawVersionLabel();
    void CopyToWindow(const RECT& r);

    ViewSkin skin_;
    HWND view_ = nullptr; // not ours
    skinui::CButtonGroup group_; // outlives the buttons
    std::vector<std::unique_ptr<skinui::CImageButton>> buttons_; // linked in this order
    std::vector<win::Bitmap> images_; // the buttons' bitmaps
    win::Bitmap back_; // the background with the buttons drawn on it
    win::Bitmap pristine_; // the background alone, for erasing a button before it is redrawn
};

} // namespace view
