// PTZ as the DVR sees it: command 19 (the DVR drives the camera itself) and command 4 (camera
// protocol bytes passed through to the camera's serial line), each answered as the built-in
// handlers do and logged decoded, so that tests read what the camera would have done:
//   cmd 19 ptz-action channel=0 action=0 w8=1 w12=5 bytes=16 means=up
//   cmd 4 ptz-protocol w0=2 count=7 value=2400 bytes=268
//   cmd 4 frame 1/1 protocol=pelco-d address=1 action=up speed=32 checksum=ok hex=FF 01 00 08 00 20 29
#include "Extension.h"
#include "Protocols.h"
#include "wire/Packets.h"
#include "wire/ByteOrder.h"
#include <string>

namespace dvrsim {
namespace {

// The DVR's own PTZ action codes (the viewer's buttons map onto them).
const char* ActionName(int32_t code)
{
    switch (code) {
    case 0: return "up";
    case 1: return "up-right";
    case 2: return "right";
    case 3: return "down-right";
    case 4: return "down";
    case 5: return "down-left";
    case 6: return "left";
    case 7: return "up-left";
    case 10: return "focus-near";
    case 11: return "focus-far";
    case 12: return "zoom-in";
    case 13: return "zoom-out";
    case 22: return "stop";
    default: return "unknown";
    }
}

int32_t Word(const Packet& p, size_t at)
{
    return at + 4 <= p.length ? static_cast<int32_t>(wire::LoadLE32(p.data + at)) : 0;
}

void OnAction(Session& s, const Packet& p)
{
    s.Sim().Log(s.Id(),
                "cmd 19 ptz-action channel=" + std::to_string(Word(p, 0)) + " action=" + std::to_string(Word(p, 4)) +
                    " w8=" + std::to_string(Word(p, 8)) + " w12=" + std::to_string(Word(p, 12)) +
                    " bytes=" + std::to_string(p.length) +
                    " means=" + (p.length >= protocol::kPtzActionSize ? ActionName(Word(p, 4)) : "short"));
    s.SendPacket(protocol::kCmdPtzAction, nullptr, 0);
}

void OnProtocolBytes(Session& s, const Packet& p)
{
    constexpr size_t kHead = 12; // kind, count, Panlink's value; the camera's bytes follow
    Simulator& sim = s.Sim();
    if (p.length < kHead) {
        sim.Log(s.Id(), "cmd 4 ptz-protocol malformed bytes=" + std::to_string(p.length));
    } else {
        const uint32_t count = static_cast<uint32_t>(Word(p, 4));
        sim.Log(s.Id(),
                "cmd 4 ptz-protocol w0=" + std::to_string(Word(p, 0)) + " count=" + std::to_string(count) + " value=" +
                    std::to_string(static_cast<uint32_t>(Word(p, 8))) + " bytes=" + std::to_string(p.length));
        if (count > p.length - kHead) {
            sim.Log(s.Id(), "cmd 4 count exceeds the payload");
        } else if (count == 0) {
            sim.Log(s.Id(), "cmd 4 empty");
        } else {
            const uint8_t* bytes = p.data + kHead;
            const auto frames = panlink::Parse(bytes, count);
            for (size_t i = 0; i < frames.size(); ++i) {
                const panlink::Frame& f = frames[i];
                const panlink::Protocol* proto = panlink::ProtocolAt(f.protocol);
                std::string line = "cmd 4 frame " + std::to_string(i + 1) + "/" + std::to_string(frames.size());
                if (!proto) {
                    line += " protocol=unknown";
                } else {
                    line += std::string(" protocol=") + proto->key + " address=" + std::to_string(f.receiver) +
                        " action=" + (f.command >= 0 ? panlink::CommandName(f.command) : "other");
                    if (f.speed >= 0)
                        line += " speed=" + std::to_string(f.speed);
                    line += f.checksumOk ? " checksum=ok" : " checksum=bad";
                }
                sim.Log(s.Id(), line + " hex=" + panlink::Hex(bytes + f.offset, f.length));
            }
        }
    }
    s.SendPacket(protocol::kCmdPtzProtocol, nullptr, 0);
}

class PtzExtension : public Extension {
public:
    void Install(Simulator& sim) override
    {
        sim.OnCommand(protocol::kCmdPtzAction, OnAction);
        sim.OnCommand(protocol::kCmdPtzProtocol, OnProtocolBytes);
    }
};

ExtensionRegistrar<PtzExtension> registrar;

} // namespace
} // namespace dvrsim
