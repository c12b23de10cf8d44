#pragma once
// The string ids of the status lines the connection logs (texts: skin/ViewerStrings.inc, from the
// language library first, else the view's own English table).
#include "skin/ViewerStrings.h"

namespace connection {

enum ViewText : int {
    kTextVersion = viewer_strings::kStrVersion,
    kTextStarting = viewer_strings::kStrStarting,
    kTextStart = viewer_strings::kStrStart,
    kTextDecoderThreadFailed = viewer_strings::kStrDecoderThreadFailed,
    kTextWaitingConnection = viewer_strings::kStrWaitingForConnection,
    kTextEstablished = viewer_strings::kStrConnectionEstablished,
    kTextInvalidLogin = viewer_strings::kStrInvalidIdOrPassword,
    kTextUnknownLoginError = viewer_strings::kStrUnknownLoginError,
    kTextCheckId = viewer_strings::kStrCheckId,
    kTextDisconnect = viewer_strings::kStrDisconnect,
    kTextConnectionFailed = viewer_strings::kStrConnectionFailed,
    kTextEmptyAddress = viewer_strings::kStrEmptyIpOrUser,
    kTextWaitingImages = viewer_strings::kStrWaitingForImages,
    kTextSettingsNotSaved = viewer_strings::kStrSettingsNotSaved,
    kTextInfoFile = viewer_strings::kStrInfoFileName,
    kTextInfoSection = viewer_strings::kStrInfoConnectSection,
    kTextInfoUrl = viewer_strings::kStrInfoUrlKey,
    kTextInfoPort = viewer_strings::kStrInfoPortKey,
    kTextInfoUser = viewer_strings::kStrInfoUserKey,
    kTextInfoPassword = viewer_strings::kStrInfoPasswordKey,
};

} // namespace connection
