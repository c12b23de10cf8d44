#include "Manifest.h"
#include "OutFile.h"
#include "Sha256.h"
#include "File.h"
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace backup {

std::string BaseName(const std::string& path)
{
    const size_t s = path.find_last_of("/\\");
    return s == std::string::npos ? path : path.substr(s + 1);
}

std::string DirName(const std::string& path)
{
    const size_t s = path.find_last_of("/\\");
    return s == std::string::npos ? std::string() : path.substr(0, s + 1);
}

namespace {

std::string Json(const std::string& s)
{
    std::string o = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            o += '\\', o += char(c);
        else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            o += b;
        } else
            o += char(c);
    }
    return o + "\"";
}

std::string Num(uint64_t v) { return std::to_string(v); }

bool Commit(const std::string& path, const std::string& text, std::string* error)
{
    OutFile f;
    if (!f.Create(path) || !f.Write(text.data(), text.size()) || !f.Commit()) {
        *error = f.Error();
        return false;
    }
    return true;
}

} // namespace

bool WriteManifest(const std::string& base, const ManifestInput& in, std::string* error)
{
    auto local = [&](int64_t us, bool ms = false) { return LocalTimeText(us, in.zone, in.daylight, ms); };
    std::ostringstream t, j;
    t << "Recordings exported from the DVR at " << in.site << "\n";
    t << "Cameras:";
    for (const auto& c : in.cameras)
        t << " " << c.number;
    t << "\nSpan, DVR local time: " << local(in.fromUs) << " to " << local(in.toUs) << "\n";
    t << "Span, UTC: " << UtcTimeText(in.fromUs) << " to " << UtcTimeText(in.toUs) << "\n";
    t << "Check the files with: dvrtool verify " << BaseName(base) << ".txt\n";
    j << "{\n  \"site\": " << Json(in.site) << ",\n  \"span\": {\"from_local\": " << Json(local(in.fromUs))
      << ", \"to_local\": " << Json(local(in.toUs)) << ", \"from_utc\": " << Json(UtcTimeText(in.fromUs))
      << ", \"to_utc\": " << Json(UtcTimeText(in.toUs)) << "},\n  \"cameras\": [";
    for (size_t i = 0; i < in.cameras.size(); ++i)
        j << (i ? ", " : "") << in.cameras[i].number;
    j << "],\n  \"files\": [";
    bool firstFile = true;
    for (const auto& c : in.cameras) {
        for (const auto& f : c.files) {
            for (int kind = 0; kind < 2; ++kind) {
                const std::string& path = kind == 0 ? f.path : f.subtitlePath;
                uint64_t size = 0;
                const std::string sha = Sha256OfFile(path, &size);
                if (sha.empty()) {
                    *error = "cannot read " + path + " again to hash it";
                    return false;
                }
                const std::string name = BaseName(path);
                t << "\nFile: " << name << "\n  SHA-256: " << sha << "\n  Size: " << size << " bytes\n";
                j << (firstFile ? "\n" : ",\n") << "    {\"name\": " << Json(name) << ", \"sha256\": " << Json(sha)
                  << ", \"size\": " << size << ", \"camera\": " << c.number;
                firstFile = false;
                if (kind == 1) {
                    t << "  Subtitles of " << BaseName(f.path) << ": the DVR's local date and time of every second\n";
                    j << ", \"subtitles_of\": " << Json(BaseName(f.path)) << "}";
                    continue;
                }
                const double seconds = double(f.soundSamples) / 8000.0;
                char snd[96];
                std::snprintf(snd, sizeof snd, "%.2f s", seconds);
                t << "  Camera: " << c.number << ", " << f.width << " x " << f.height << ", " << f.frameRate
                  << " pictures per second\n";
                t << "  Pictures: " << f.pictures;
                if (f.leftOut)
                    t << " (" << f.leftOut << " more recorded but left out: they follow a loss and cannot be shown)";
                t << "\n  Sound: ";
                if (c.audioChannel)
                    t << f.soundSamples << " samples (" << snd << ") of audio channel " << c.audioChannel
                      << ", 8000 per second; " << f.silenceSamples << " samples of silence where none was recorded\n";
                else
                    t << "none\n";
                t << "  First picture: " << local(f.firstUs, true) << " DVR local, " << UtcTimeText(f.firstUs, true)
                  << " UTC\n  Last picture: " << local(f.lastUs, true) << " DVR local, " << UtcTimeText(f.lastUs, true)
                  << " UTC\n  Gaps:" << (f.gaps.empty() ? " none" : "") << "\n";
                j << ", \"width\": " << f.width << ", \"height\": " << f.height << ", \"pictures\": " << f.pictures
                  << ", \"left_out\": " << f.leftOut << ", \"audio_channel\": " << c.audioChannel
                  << ", \"sound_samples\": " << f.soundSamples << ", \"silence_samples\": " << f.silenceSamples
                  << ", \"first_local\": " << Json(local(f.firstUs, true)) << ", \"first_utc\": "
                  << Json(UtcTimeText(f.firstUs, true)) << ", \"last_local\": " << Json(local(f.lastUs, true))
                  << ", \"last_utc\": " << Json(UtcTimeText(f.lastUs, true)) << ", \"gaps\": [";
                for (size_t g = 0; g < f.gaps.size(); ++g) {
                    const auto& gap = f.gaps[g];
                    char d[32];
                    std::snprintf(d, sizeof d, "%.3f", double(gap.toUs - gap.fromUs) / 1e6);
                    t << "    " << local(gap.fromUs, true) << " to " << local(gap.toUs, true) << " (" << d << " s)\n";
                    j << (g ? ", " : "") << "{\"from_local\": " << Json(local(gap.fromUs, true))
                      << ", \"to_local\": " << Json(local(gap.toUs, true)) << ", \"seconds\": " << d << "}";
                }
                j << "]}";
            }
        }
    }
    j << "\n  ]\n}\n";
    return Commit(base + ".txt", t.str(), error) && Commit(base + ".json", j.str(), error);
}

namespace {

// The value after `key` in a JSON text from pos on: a string (unescaped) or a number.
bool JsonValue(const std::string& s, const std::string& key, size_t& pos, std::string* out)
{
    const size_t k = s.find("\"" + key + "\"", pos);
    if (k == std::string::npos)
        return false;
    size_t i = s.find(':', k);
    if (i == std::string::npos)
        return false;
    for (++i; i < s.size() && s[i] == ' '; ++i) {
    }
    out->clear();
    if (i < s.size() && s[i] == '"') {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size())
                ++i;
            *out += s[i];
        }
    } else {
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            *out += s[i];
    }
    pos = i;
    return !out->empty();
}

bool ParseSize(const std::string& s, uint64_t* v)
{
    if (s.empty() || s.size() > 19)
        return false;
    *v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        *v = *v * 10 + uint64_t(c - '0');
    }
    return true;
}

} // namespace

bool ReadManifest(const std::string& path, std::vector<ManifestEntry>* out, std::string* error)
{
    out->clear();
    const store::File in = store::File::Read(path);
    const int64_t length = in.Size();
    if (!in.IsOpen() || length < 0) {
        *error = "cannot read the manifest " + path;
        return false;
    }
    if (length > (64 << 20)) {
        *error = "the manifest " + path + " is far too large to be one";
        return false;
    }
    std::string text(size_t(length), '\0');
    if (length > 0 && in.ReadAt(0, reinterpret_cast<uint8_t*>(text.data()), text.size()) != length) {
        *error = "cannot read the manifest " + path;
        return false;
    }
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '{') {
        // Each file's object runs from its "name" to the next one's.
        size_t pos = text.find("\"files\"");
        while (pos != std::string::npos) {
            const size_t at = text.find("\"name\"", pos);
            if (at == std::string::npos)
                break;
            const size_t next = text.find("\"name\"", at + 6);
            const std::string object = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
            pos = next;
            ManifestEntry e;
            size_t p = 0;
            std::string v;
            if (!JsonValue(object, "name", p, &e.name) || !JsonValue(object, "sha256", p, &e.sha256) ||
                !JsonValue(object, "size", p, &v) || !ParseSize(v, &e.size))
                break;
            size_t q = 0;
            if (JsonValue(object, "camera", q, &v) && v.size() <= 2)
                e.camera = std::stoi(v);
            q = 0;
            JsonValue(object, "subtitles_of", q, &e.subtitlesOf);
            for (auto [key, field] : {std::pair{"first_local", &e.firstLocal}, std::pair{"first_utc", &e.firstUtc},
                                      std::pair{"last_local", &e.lastLocal}, std::pair{"last_utc", &e.lastUtc}}) {
                q = 0;
                JsonValue(object, key, q, field);
            }
            out->push_back(std::move(e));
        }
    } else {
        std::istringstream lines(text);
        std::string line;
        // "<local> DVR local, <utc> UTC"
        auto times = [](const std::string& s, std::string* local, std::string* utc) {
            const size_t a = s.find(" DVR local, "), b = s.rfind(" UTC");
            if (a == std::string::npos || b == std::string::npos || b < a + 12)
                return;
            *local = s.substr(0, a);
            *utc = s.substr(a + 12, b - a - 12);
        };
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.rfind("File: ", 0) == 0) {
                ManifestEntry e;
                e.name = line.substr(6);
                out->push_back(e);
                continue;
            }
            if (out->empty())
                continue;
            ManifestEntry& e = out->back();
            if (line.rfind("  SHA-256: ", 0) == 0)
                e.sha256 = line.substr(11);
            else if (line.rfind("  Size: ", 0) == 0) {
                const std::string n = line.substr(8, line.find(' ', 8) - 8);
                if (!ParseSize(n, &e.size))
                    e.sha256.clear();
            } else if (line.rfind("  Camera: ", 0) == 0) {
                const std::string n = line.substr(10, line.find(',', 10) - 10);
                if (!n.empty() && n.size() <= 2 && n.find_first_not_of("0123456789") == std::string::npos)
                    e.camera = std::stoi(n);
            } else if (line.rfind("  Subtitles of ", 0) == 0) {
                e.subtitlesOf = line.substr(15, line.find(':', 15) - 15);
            } else if (line.rfind("  First picture: ", 0) == 0) {
                times(line.substr(17), &e.firstLocal, &e.firstUtc);
            } else if (line.rfind("  Last picture: ", 0) == 0) {
                times(line.substr(16), &e.lastLocal, &e.lastUtc);
            }
        }
    }
    if (out->empty()) {
        *error = path + " names no file: it is not a manifest of an export";
        return false;
    }
    return true;
}

bool VerifyManifest(const std::string& path, std::vector<VerifiedFile>* out, std::string* error)
{
    std::vector<ManifestEntry> entries;
    if (!ReadManifest(path, &entries, error))
        return false;
    out->clear();
    for (const auto& e : entries) {
        VerifiedFile v;
        v.name = e.name;
        if (e.sha256.size() != 64 || e.name.empty() || e.name.find_first_of("/\\") != std::string::npos ||
            e.name == "." || e.name == "..") {
            v.problem = "not a proper entry of a manifest";
        } else {
            uint64_t size = 0;
            const std::string sha = Sha256OfFile(DirName(path) + e.name, &size);
            if (sha.empty())
                v.problem = "missing";
            else if (size != e.size)
                v.problem = "differs (size " + std::to_string(size) + " bytes, the manifest says " +
                    std::to_string(e.size) + ")";
            else if (sha != e.sha256)
                v.problem = "differs (SHA-256 " + sha + ")";
            else
                v.ok = true;
        }
        out->push_back(v);
    }
    if (out->empty()) {
        *error = path + " names no file: it is not a manifest of an export";
        return false;
    }
    return true;
}

} // namespace backup
