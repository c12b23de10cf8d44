#pragma once
// An export of the backup module played back: its manifest names each camera's AVI files with the
// time of their first picture in UTC and on the DVR's clock. Each picture's time is the first
// picture's plus its place on the file's constant frame rate (a dropped frame keeps its place), so
// gaps stay gaps; the DVR's time zone is the one under which the manifest's UTC and local times
// agree. Pictures come out as the DVR sent them (a frame header made from the file, the MPEG-4
// picture without the VOL the export put in front), so the viewer's decoding path plays them; the
// sound comes out as PCM blocks (kPcmBlock) of 16 ms.
//
// The files are untrusted: each AVI is read by backup::AviReader, which checks every size and
// offset; a file that cannot be read is left out and what was wrong is kept in Problems().
#include "Catalogue.h"
#include "Playback.h"
#include "StoreReader.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace backup {
class AviReader;
}

namespace player {

class ExportSet {
public:
    // path: a manifest (text or JSON), or any file of an export folder or the folder itself (the
    // manifest that names the file, or the folder's first, is read). nullptr with *error when no
    // camera of the export can be played.
    static std::unique_ptr<ExportSet> Open(const std::string& path, std::string* error);
    ~ExportSet();

    const std::string& Name() const { return name_; } // the manifest's file name
    const std::vector<int>& Cameras() const { return cameras_; } // 0-based, ascending
    int64_t FirstMs() const { return firstMs_; }
    int64_t LastMs() const { return lastMs_; }
    uint8_t Zone() const { return zone_; } // 255 when the manifest's times fit no zone: UTC
    uint8_t Daylight() const { return daylight_; }
    // The stretches of the camera's pictures (those more than 3 s apart are two).
    std::vector<store::Span> Spans(int camera) const;
    // What was passed over while opening: files missing or damaged ("name: what").
    const std::vector<std::string>& Problems() const { return problems_; }

    // The camera's pictures (nothing for a camera the export does not hold).
    std::unique_ptr<store::RecordSource> OpenCamera(int camera) const;
    // The sound of the camera's files; nullptr when they carry none.
    std::unique_ptr<store::RecordSource> OpenSound(int camera) const;

    struct Part {
        std::string name;
        int64_t firstUs = 0;
        std::shared_ptr<backup::AviReader> avi;
    };

private:
    ExportSet() = default;
    const std::vector<Part>* PartsOf(int camera) const;

    std::string name_;
    std::vector<int> cameras_;
    std::vector<std::vector<Part>> parts_; // per camera of cameras_, in time order
    int64_t firstMs_ = 0, lastMs_ = 0;
    uint8_t zone_ = 255, daylight_ = 0;
    std::vector<std::string> problems_;
};

} // namespace player
