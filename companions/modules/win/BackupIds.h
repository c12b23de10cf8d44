#pragma once
// The backup control's child control ids, for the control and for the tests that drive it.
struct CBackupIds {
    enum : int {
        kCloseButton = 1001, // as the stand-ins'
        kRecordingsButton = 1010, kFolderButton, kFromPicker, kToPicker, kExportButton, kCancelButton, kProgress,
        kStatus, kSize, kRecordingsText, kFolderText,
        kFirstCamera = 1100 // camera c (0-based) is kFirstCamera + c
    };
};
