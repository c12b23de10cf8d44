// dvrtool g723 encode|decode IN OUT: DVR audio to and from 8 kHz mono 16-bit PCM (raw or WAV).
#include "Command.h"
#include "G723Files.h"

#include <memory>
#include <utility>
#include <string>

namespace {

// One direction of the conversion as a subcommand of `cmd`.
void AddConversion(cmdline::Command* cmd, const char* name, const char* what, const char* inHelp, const char* outHelp,
                   bool (*convert)(const std::string& in, const std::string& out, std::string& error))
{
    auto files = std::make_shared<std::pair<std::string, std::string>>();
    auto* sub = cmd->Subcommand(name, what);
    sub->Add("IN", files->first, inHelp)->Required();
    sub->Add("OUT", files->second, outHelp)->Required();
    sub->Callback([files, convert] {
        std::string error;
        if (!convert(files->first, files->second, error))
            dvrtool::Fail(error);
    });
}

dvrtool::Registrar g723([](cmdline::Command& app) {
    auto* cmd = app.Subcommand("g723", "24 kbit/s ADPCM (G.726) audio of the DVR: encode or decode a file");
    cmd->RequireSubcommand();
    AddConversion(cmd, "encode", "PCM (raw 8 kHz mono s16le, or .wav) to packed 3-bit codes", "PCM input (.wav or raw)",
                  "coded output (raw)", dvrtool::EncodeG723File);
    AddConversion(cmd, "decode", "packed 3-bit codes to PCM (raw 8 kHz mono s16le, or .wav)", "coded input (raw)",
                  "PCM output (.wav or raw)", dvrtool::DecodeG723File);
});

} // namespace
