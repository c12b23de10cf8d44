// Under Wine: xvidcore.dll loaded by name from the program's folder (the bridge to the system's
// libxvidcore), the simulator's streams decoded through it at every size, and the class message
// posted to a real window.
#include "StreamCheck.h"
#include "foundation/Module.h"
#include "PostMessageNotify.h"
#include "XvidLibrary.h"
#include <gtest/gtest.h>

using namespace videotest;

namespace {

const video::XvidApi& Library()
{
    static video::XvidLibrary lib;
    lib.Load();
    return lib.Api();
}

struct Case {
    int width, height, fps;
};

class WinStreamPsnr : public ::testing::TestWithParam<Case> {};

} // namespace

TEST(WinXvidLibrary, LoadsFromTheModuleFolderFirst)
{
    video::XvidLibrary lib;
    ASSERT_EQ(video::XvidStatus::Ready, lib.Load());
    EXPECT_EQ(win::ModuleFolderFile(L"xvidcore.dll"), lib.Path());
    EXPECT_NE(nullptr, lib.Api().encore);
    EXPECT_EQ(video::XvidStatus::Ready, lib.Load()); // once is enough
}

TEST_P(WinStreamPsnr, EveryPictureMatchesItsSource)
{
    const Case c = GetParam();
    const video::XvidApi& x = Library();
    ASSERT_TRUE(x.CanDecode());
    const dvrsim::VideoFormat f{.width = c.width, .height = c.height, .fps = c.fps, .seconds = 1, .keyInterval = 10};
    dvrsim::VideoLoop loop;
    std::string err;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(x, 2, f, loop, &err)) << err;
    const int n = int(loop.frames.size()) * 2;
    for (int mode : {2, 0}) {
        PsnrFigures fig = DecodeAndMeasure(x, loop, mode, n);
        std::printf("[ PSNR ] wine %s %dx%d %d fps%s: %s\n", mode ? "luma" : "BGR", c.width, c.height, c.fps,
                    loop.codedInterlaced ? " interlaced" : "", fig.Text().c_str());
        EXPECT_EQ(n, fig.decoded);
        EXPECT_GT(fig.predicted, 0);
        EXPECT_GT(fig.Min(), mode ? 34.0 : 30.0) << fig.Text();
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, WinStreamPsnr,
                         ::testing::Values(Case{352, 240, 30}, Case{352, 288, 25}, Case{704, 240, 30},
                                           Case{704, 288, 25}, Case{720, 480, 30}, Case{720, 576, 25}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST(WinNotify, ClassChangeIsPostedToTheWindowOnce)
{
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, wnd);
    video::CPostMessageNotify notify(wnd);
    video::CMp4DecoderManager m(Library());
    const int w[2] = {720, 720}, h[2] = {480, 480};
    ASSERT_EQ(1, m.Initialize(2, 0, w, h, &notify));
    dvrsim::VideoFormat f;
    f.width = 704;
    f.height = 240;
    f.seconds = 1;
    dvrsim::VideoLoop loop;
    ASSERT_TRUE(dvrsim::EncodeVideoLoop(Library(), 1, f, loop));
    dvrsim::VideoChannelStream s(1, &loop);
    std::vector<uint8_t> frame;
    for (int i = 0; i < 5; ++i) {
        s.Next(uint64_t(i) * 33367, frame);
        video::DecodedPicture pic{};
        ASSERT_GT(DecodeWholeFrame(m, frame, pic, 1), 0);
    }
    MSG msg;
    int posts = 0;
    while (PeekMessageW(&msg, wnd, video::kMsgResolutionClass, video::kMsgResolutionClass, PM_REMOVE)) {
        ++posts;
        EXPECT_EQ(1u, msg.wParam);
        EXPECT_EQ(2, msg.lParam);
    }
    EXPECT_EQ(1, posts);
    DestroyWindow(wnd);
}
