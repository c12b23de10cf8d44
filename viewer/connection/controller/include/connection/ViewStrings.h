#pragma once
// The view's own string table: the English text of every status line the connection logs. The
// language library (lingua_res) is asked first; these are the fallback when it lacks an entry.
#include <string_view>

namespace connection {

enum ViewText : int {
    kTextVersion = 3,              // "0,9,1,24"
    kTextStarting = 4,             // login sent
    kTextStart = 9,                // view start-up
    kTextDecoderThreadFailed = 121,
    kTextWaitingConnection = 400,
    kTextEstablished = 402,
    kTextInvalidLogin = 403,
    kTextUnknownLoginError = 404,
    kTextCheckId = 405,            // "%s": the user ID
    kTextDisconnect = 406,
    kTextConnectionFailed = 407,
    kTextEmptyAddress = 409,
    kTextWaitingImages = 7020,
    // The connection-info file: its name, section and keys.
    kTextInfoFile = 10,
    kTextInfoSection = 13,
    kTextInfoUrl = 14,
    kTextInfoPort = 15,
    kTextInfoUser = 32,
    kTextInfoPassword = 33,
};

// The English default of a string id, or an empty view when the view has none.
std::string_view DefaultViewText(int id);

} // namespace connection
