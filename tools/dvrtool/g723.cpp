// dvrtool g723 encode|decode IN OUT: DVR audio to and from 8 kHz mono 16-bit PCM (raw or WAV).
#include "Command.h"
#include "G723Files.h"

#include <memory>
#include <string>

namespace {

struct G723Args {
    std::string in, out;
};

dvrtool::Registrar g723([](CLI::App& app) {
    auto* cmd = app.add_subcommand("g723", "24 kbit/s ADPCM (G.726) audio of the DVR: encode or decode a file");
    cmd->require_subcommand(1);
    auto encode = std::make_shared<G723Args>();
    auto* enc = cmd->add_subcommand("encode", "PCM (raw 8 kHz mono s16le, or .wav) to packed 3-bit codes");
    enc->add_option("IN", encode->in, "PCM input (.wav or raw)")->required();
    enc->add_option("OUT", encode->out, "coded output (raw)")->required();
    enc->callback([encode] {
        std::string error;
        if (!dvrtool::EncodeG723File(encode->in, encode->out, error))
            dvrtool::Fail(error);
    });
    auto decode = std::make_shared<G723Args>();
    auto* dec = cmd->add_subcommand("decode", "packed 3-bit codes to PCM (raw 8 kHz mono s16le, or .wav)");
    dec->add_option("IN", decode->in, "coded input (raw)")->required();
    dec->add_option("OUT", decode->out, "PCM output (.wav or raw)")->required();
    dec->callback([decode] {
        std::string error;
        if (!dvrtool::DecodeG723File(decode->in, decode->out, error))
            dvrtool::Fail(error);
    });
});

} // namespace
