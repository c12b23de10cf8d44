// Recording with the real keyboard against the simulator: Ctrl+R starts it into the Videos folder,
// each division shows its red REC mark, a layout change ends the spans of the cameras it stops, a
// second Ctrl+R stops it; the store is then read back through its reader, camera by camera.
#include "LiveScreen.h"
#include "StoreReader.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <shlobj.h>

using namespace view;
using namespace testkit;

namespace {

class RecordView : public LiveView {
protected:
    void Key(const std::string& combo)
    {
        SetFocus(View());
        PumpFor(100);
        ASSERT_TRUE(RunUnixAndWait("xdotool key " + combo));
    }
    // The text after `start` of the last status line that begins with it; empty when none does.
    std::wstring LoggedAfter(const std::wstring& start)
    {
        std::wstring found;
        for (const std::wstring& l : Readout().StatusLines())
            if (l.rfind(start, 0) == 0)
                found = l.substr(start.size()) + L" ";
        return found;
    }
    // Red pixels of the REC mark under the title of division p.
    int RedUnderTitle(const Screen& s, int p)
    {
        const video::DivRect& d = divisions_[p].div;
        int red = 0;
        for (int y = d.top + 4; y < std::min(d.bottom, d.top + 60); ++y)
            for (int x = d.left + 4; x < std::min(d.right, d.left + 80); ++x) {
                const uint32_t c = s.At(x, y);
                red += ((c >> 16) & 255) > 200 && ((c >> 8) & 255) < 60 && (c & 255) < 60;
            }
        return red;
    }
};

std::string Utf8(const std::wstring& w)
{
    std::string s(static_cast<size_t>(w.size() * 3 + 1), '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(),
                                      static_cast<int>(s.size()), nullptr, nullptr);
    s.resize(static_cast<size_t>(n > 0 ? n : 0));
    return s;
}

TEST_F(RecordView, CtrlRRecordsEveryCameraShownWithRecMarksAndTheStoreReadsBack)
{
    // No folder chosen: the Videos folder plus "Orvex", emptied of an earlier run.
    DeleteFileW(L"C:/Program Files/Orvex/ViewRecord.ini");
    wchar_t videos[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYVIDEO | CSIDL_FLAG_CREATE, nullptr, 0, videos)));
    const std::filesystem::path root = std::filesystem::path(videos) / L"Orvex";
    std::error_code ec;
    std::filesystem::remove_all(root, ec);

    ConnectAndWaitForPictures("");
    Key("ctrl+r");
    ASSERT_TRUE(PumpUntil([&] { return !LoggedAfter(L"Recording every camera the DVR sends, into ").empty(); }, 10000));
    std::wstring site = LoggedAfter(L"Recording every camera the DVR sends, into ");
    site.pop_back();
    EXPECT_EQ(std::filesystem::path(site).parent_path(), root) << Utf8(site);
    EXPECT_EQ(site.find(L'/'), std::wstring::npos) << "a Windows path reads with backslashes: " << Utf8(site);

    // Each of the four divisions carries its REC mark.
    Screen s;
    ASSERT_TRUE(PumpUntil(
        [&] {
            s = Capture(display_);
            for (int p = 0; p < kChannels; ++p)
                if (RedUnderTitle(s, p) < 8)
                    return false;
            return true;
        },
        5000));
    const std::string shot = Screenshot("record-rec-marks");
    ASSERT_FALSE(shot.empty());
    RunUnixAndWait("mkdir -p " + std::string(PX_SOURCE_DIR) + "/out && cp " + shot + " " + std::string(PX_SOURCE_DIR) +
                   "/out/");
    PumpFor(3000);

    // Camera 2 alone: cameras 1, 3 and 4 stop, their spans end; the recording goes on over the
    // reconnect, and only camera 2's division is left to mark.
    host_->Command(kCmdFirstChannel + 1);
    // (The count of pictures shown starts again at each login.)
    ASSERT_TRUE(PumpUntil([&] { return Readout().Layout()->Layout() == 1 && State().loggedIn && Shown() > 30; },
                          20000));
    EXPECT_EQ(Readout().Live()->Display().Recording(), 0x2u);
    Key("ctrl+r");
    ASSERT_TRUE(PumpUntil([&] { return !LoggedAfter(L"Recording stopped.").empty(); }, 10000));
    EXPECT_EQ(Readout().Live()->Display().Recording(), 0u);

    // Read back: every camera shown has pictures, key frames among them, with the site's sound.
    for (int ch = 0; ch < kChannels; ++ch) {
        std::string error;
        auto reader = store::StoreReader::Open(Utf8(site), ch, ch == 0, &error);
        ASSERT_TRUE(reader) << "camera " << ch + 1 << ": " << error;
        ASSERT_TRUE(reader->Seek(0)) << "camera " << ch + 1;
        int video = 0, keys = 0, audio = 0;
        store::Record r;
        while (reader->Next(&r)) {
            if (r.kind == store::kVideo) {
                ++video;
                keys += r.key;
                EXPECT_EQ(r.stream, ch);
            } else {
                ++audio;
            }
        }
        EXPECT_GT(video, 30) << "camera " << ch + 1;
        EXPECT_GT(keys, 0) << "camera " << ch + 1;
        if (ch == 0) {
            EXPECT_GT(audio, 100) << "16 ms blocks over more than 3 s";
        }
        EXPECT_TRUE(reader->TakeProblems().empty()) << "camera " << ch + 1;
    }
}

} // namespace
