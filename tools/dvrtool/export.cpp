// dvrtool export: one camera's recordings of a span from the PC's recording store to an AVI with
// its SubRip file and a manifest beside it. dvrtool verify: checks the files against a manifest.
#include "Command.h"
#include "Export.h"
#include "Layout.h"
#include "Manifest.h"
#include "StoreSource.h"
#include "Format.h"
#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>

namespace {

std::atomic<bool> g_interrupted{false};

bool ParseTimes(const std::string& from, const std::string& to, int64_t* a, int64_t* b)
{
    return backup::ParseTimeText(from, a) && backup::ParseTimeText(to, b) && *b > *a;
}

void RunExport(const std::string& root, const std::string& address, int port, int camera, int audio,
               const std::string& from, const std::string& to, const std::string& out)
{
    int64_t fromLocal = 0, toLocal = 0;
    if (!ParseTimes(from, to, &fromLocal, &toLocal))
        dvrtool::Fail("--from and --to take the DVR's local time as \"YYYY-MM-DD hh:mm:ss\", --to after --from", 2);
    const std::string site = store::JoinPath(root, store::SiteFolderName(address, uint16_t(port)));
    std::string error;
    uint8_t zone = 0, daylight = 0;
    if (!backup::RecordedZone(site, camera - 1, &zone, &daylight, &error))
        dvrtool::Fail(error);
    backup::ExportOptions o;
    o.outPath = out;
    o.camera = camera - 1;
    o.audioChannel = audio - 1;
    o.fromUs = backup::UtcOfLocalSeconds(fromLocal, zone, daylight) * 1000000;
    o.toUs = backup::UtcOfLocalSeconds(toLocal, zone, daylight) * 1000000;
    auto sources = backup::StoreSources::Open(site, camera - 1, o.fromUs, &error);
    if (!sources)
        dvrtool::Fail(error);
    std::signal(SIGINT, [](int) { g_interrupted = true; });
    o.progress = [](const backup::ExportProgress&) { return !g_interrupted; };
    const backup::ExportResult r = backup::ExportCamera(sources->Video(), audio ? &sources->Audio() : nullptr, o);
    for (const auto& p : sources->Problems())
        std::cerr << "dvrtool: the store: " << p << "\n";
    if (!r.ok)
        dvrtool::Fail(r.error);
    backup::ManifestInput m;
    m.site = address + ":" + std::to_string(port);
    m.fromUs = o.fromUs, m.toUs = o.toUs, m.zone = zone, m.daylight = daylight;
    m.cameras.push_back({camera, audio, r.files});
    std::string base = out;
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && base.find_first_of("/\\", dot) == std::string::npos)
        base.resize(dot);
    base += "-manifest";
    if (!backup::WriteManifest(base, m, &error)) {
        for (const auto& f : r.files)
            std::remove(f.path.c_str()), std::remove(f.subtitlePath.c_str());
        dvrtool::Fail(error);
    }
    for (const auto& f : r.files)
        std::cout << f.path << ": " << f.pictures << " pictures, " << f.soundSamples / 8000.0 << " s of sound, "
                  << f.gaps.size() << " gaps, " << backup::LocalTimeText(f.firstUs, zone, daylight) << " to "
                  << backup::LocalTimeText(f.lastUs, zone, daylight) << "\n";
    std::cout << "manifest: " << base << ".txt and " << base << ".json\n";
}

void RunVerify(const std::string& manifest)
{
    std::vector<backup::VerifiedFile> files;
    std::string error;
    if (!backup::VerifyManifest(manifest, &files, &error))
        dvrtool::Fail(error);
    int bad = 0;
    for (const auto& f : files) {
        std::cout << (f.ok ? "OK       " : "DIFFERS  ") << f.name << (f.ok ? "" : ": " + f.problem) << "\n";
        bad += !f.ok;
    }
    if (bad)
        dvrtool::Fail(std::to_string(bad) + " of " + std::to_string(files.size()) + " files differ from the manifest");
    std::cout << "all " << files.size() << " files match the manifest\n";
}

struct ExportArgs {
    std::string root, address, from, to, out;
    int port = 0, camera = 1, audio = -1;
};

const dvrtool::Registrar exportCommand([](cmdline::Command& app) {
    auto a = std::make_shared<ExportArgs>();
    auto* e = app.Subcommand("export", "export one camera's recordings of a span to AVI, SubRip and a manifest");
    e->Add("--store", a->root, "the recording store's folder")->Required();
    e->Add("--address", a->address, "the DVR's address as the store names it")->Required();
    e->Add("--port", a->port, "the DVR's port")->Required()->Range(1, 65535);
    e->Add("--camera", a->camera, "camera 1-16")->Required()->Range(1, 16);
    e->Add("--audio", a->audio, "audio channel 1-4, 0 for none (default: the camera's number up to 4)")->Range(0, 4);
    e->Add("--from", a->from, "start, DVR local time \"YYYY-MM-DD hh:mm:ss\"")->Required();
    e->Add("--to", a->to, "end (excluded), DVR local time")->Required();
    e->Add("OUT", a->out, "the AVI file to write (an existing file is never replaced)")->Required();
    e->Callback([a] {
        const int audio = a->audio >= 0 ? a->audio : (a->camera <= 4 ? a->camera : 0);
        RunExport(a->root, a->address, a->port, a->camera, audio, a->from, a->to, a->out);
    });
});

const dvrtool::Registrar verifyCommand([](cmdline::Command& app) {
    auto manifest = std::make_shared<std::string>();
    auto* v = app.Subcommand("verify", "check exported files against their manifest (text or JSON)");
    v->Add("MANIFEST", *manifest, "the manifest")->Required();
    v->Callback([manifest] { RunVerify(*manifest); });
});

} // namespace

