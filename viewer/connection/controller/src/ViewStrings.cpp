#include "connection/ViewStrings.h"

namespace connection {

std::string_view DefaultViewText(int id)
{
    switch (id) {
    case kTextVersion: return "0,9,1,24";
    case kTextStarting: return "Starting DVR Web Viewer.";
    case kTextStart: return "Start DVR Web Viewer.";
    case kTextDecoderThreadFailed: return "Error : Could not create decoder thread. Exiting application.";
    case kTextWaitingConnection: return "Waiting for connection...";
    case kTextEstablished: return "Connection established.";
    case kTextInvalidLogin: return "Error - Invalid ID or Password.";
    case kTextUnknownLoginError: return "Unknown login error.";
    case kTextCheckId: return "Check ID : %s";
    case kTextDisconnect: return "Disconnect.";
    case kTextConnectionFailed: return "Connection failed.";
    case kTextEmptyAddress: return "Empty IP or User ID !";
    case kTextWaitingImages: return "Waiting for images...";
    case kTextInfoFile: return "PelluxInfo.INF";
    case kTextInfoSection: return "Connect Information";
    case kTextInfoUrl: return "URL";
    case kTextInfoPort: return "PORT";
    case kTextInfoUser: return "USER";
    case kTextInfoPassword: return "PASSWORD";
    default: return {};
    }
}

} // namespace connection
