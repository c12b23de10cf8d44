#pragma once
// The view's settings: the record read from ViewSetup.dat at start-up, at each login and when the
// setup dialog opens (a record that could not be saved is held in memory instead, for the life of
// the view, so that a folder the user cannot write to does not undo confirmed settings); the setup dialog, created hidden at the first login with channel information
// and destroyed with the view; what a confirmed dialog changes; and the "Enable Audio" choice
// mirrored into the value the decode threads read (audio plays while the dialog does not exist or
// its box is ticked).
#include <windows.h>
#include "SimpleSetupDlg.h"
#include "ViewSetupFile.h"
#include <functional>
#include <memory>
#include <string>

namespace view {

class CViewSettings {
public:
    // `audioMirror` receives the decode threads' "Enable Audio" value whenever it changes.
    explicit CViewSettings(std::function<void(bool)> audioMirror, std::wstring path = settings::kViewSetupPath);
    ~CViewSettings();
    CViewSettings(const CViewSettings&) = delete;
    CViewSettings& operator=(const CViewSettings&) = delete;

    void Attach(HWND view) { view_ = view; }
    // LoadViewSetup: the record for `channelCount` channels (16 before the first login), and the
    // dialog's "Enable Audio" box from the bytes read. kLoadRead, kLoadMissing or kLoadShort.
    int Load(int channelCount);
    // A login reply with channel information: the dialog, hidden, for that many channels.
    void OnChannelInformation(int channelCount);
    // An accepted login: the settings read again, the box set from the stored audio choice.
    void OnLoginAccepted(int channelCount);
    // The Setup button: the record read, shown in the dialog with the decoder's standard and the
    // channels' resolution classes, and the dialog shown. False when there is no dialog yet.
    bool OpenSetup(int channelCount, const int (&classes)[settings::kChannels], bool ntsc);
    // Message 1223.
    void OnResolutionClass(int channel, int resolutionClass);
    // Message 3072: the dialog's entries and block and the audio choice of the moment, kept and
    // saved; with easy setup on, every channel's quality from the level of `layout` (1 to 4).
    void OnSetupApplied(int layout);
    // Timer 10101: the held table's total rate capped to the budget for the channels' resolution
    // classes. A lowered table is kept and saved with the dialog's audio choice, and shown in the
    // dialog unless it is open (the person's unconfirmed edits stay). True when it was lowered.
    bool CapStoredRate(const int (&classes)[settings::kChannels], bool ntsc);
    // The reason of the first save that failed, once for the life of the view.
    bool TakeSaveFailure(DWORD& error);
    // With the view window: the dialog goes.
    void DestroyDialog();

    const settings::ViewSetupRecord& Record() const { return record_; }
    settings::CSimpleSetupDlg* Dialog() const { return dialog_.get(); }
    // The channel request's audio choice: 1 box ticked, 0 not ticked, -1 no dialog.
    int32_t DialogAudioChoice() const;
    const std::wstring& Path() const { return path_; }

private:
    void MirrorAudio();
    void Save();

    HWND view_ = nullptr; // not ours
    std::function<void(bool)> audioMirror_;
    std::wstring path_;
    settings::ViewSetupRecord record_;
    std::unique_ptr<settings::CSimpleSetupDlg> dialog_;
    bool held_ = false; // record_ could not be saved: it stands for the file
    bool failureTold_ = false;
    DWORD failure_ = 0; // the error of a failed save not yet told
};

} // namespace view
