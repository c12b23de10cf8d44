// Lustrel through its real exports, under both decorations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "LustrelTable.h"
#include "SkinDllTest.h"

using skintest::Decoration;

namespace {

class Lustrel : public skintest::SkinDllTest {
protected:
    void SetUp() override { Load(L"Lustrel.dll", false); }
};

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The table's identifiers with their rectangles, as the exports see them.
std::vector<std::pair<unsigned short, RECT>> Listed()
{
    std::vector<std::pair<unsigned short, RECT>> rows;
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        skin::SkinRect r;
        if (skin::lustrel::Rect(uint16_t(id), &r))
            rows.push_back({uint16_t(id), RECT{r.left, r.top, r.right, r.bottom}});
    }
    return rows;
}

TEST_P(Lustrel, RectanglesAreTheTablesAndUnlistedOnesStayUntouched)
{
    const auto listed = Listed();
    EXPECT_EQ(listed.size(), 31u);
    size_t next = 0;
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        const bool known = next < listed.size() && listed[next].first == id;
        const RECT untouched{-7, -8, -9, -10};
        RECT r = untouched;
        api_.GetResourceRect(uint16_t(id), &r);
        const RECT& want = known ? listed[next++].second : untouched;
        ASSERT_TRUE(Same(r, want)) << "id " << id << ": " << r.left << "," << r.top << "," << r.right << ","
                                   << r.bottom;
    }
    api_.GetResourceRect(0, nullptr); // must simply return
}

// The layout fits its art: the window is its background's size and holds every rectangle; a button's
// faces are its rectangle's height and at most one pixel narrower (neighbours share an edge pixel);
// the setup dialog holds its parts, and every page is the page background's size.
TEST_P(Lustrel, RectanglesFitTheArt)
{
    auto rect = [&](unsigned short id) {
        RECT r{};
        api_.GetResourceRect(id, &r);
        return r;
    };
    auto inside = [](const RECT& r, const RECT& outer) {
        return r.left >= outer.left && r.top >= outer.top && r.right <= outer.right && r.bottom <= outer.bottom &&
            r.right >= r.left && r.bottom >= r.top;
    };
    auto sizeOf = [&](unsigned short bitmapId) {
        HBITMAP b = api_.GetBitmap(bitmapId);
        auto d = skintest::Describe(b);
        DeleteObject(b);
        return SIZE{d.width, d.height};
    };
    const RECT window = rect(0);
    const SIZE background = sizeOf(0);
    EXPECT_EQ(window.right - window.left, background.cx);
    EXPECT_EQ(window.bottom - window.top, background.cy);
    for (const auto& [id, r] : Listed())
        EXPECT_TRUE(inside(r, window)) << id;

    for (unsigned short id : {1, 2, 3, 4, 5, 6, 9}) {
        const RECT r = rect(id);
        HBITMAP h[4] = {};
        api_.GetBitmaps(id, &h[0], &h[1], &h[2], &h[3]);
        for (HBITMAP b : h) {
            auto d = skintest::Describe(b);
            EXPECT_EQ(d.height, r.bottom - r.top) << id;
            EXPECT_GE(d.width, r.right - r.left - 1) << id;
            EXPECT_LE(d.width, r.right - r.left) << id;
            DeleteObject(b);
        }
    }
    const RECT dialog = rect(16);
    for (unsigned short id = 17; id <= 24; ++id)
        EXPECT_TRUE(inside(rect(id), dialog)) << id;
    const SIZE page = sizeOf(64);
    for (unsigned short id : {32, 33, 34, 35, 37, 64, 65}) {
        const RECT r = rect(id);
        EXPECT_EQ(r.right - r.left, page.cx) << id;
        EXPECT_EQ(r.bottom - r.top, page.cy) << id;
    }
}

TEST_P(Lustrel, SingleBitmapsAreNewEightBitCopiesAndAbsentOnesNull)
{
    struct {
        unsigned short id;
        int w, h;
    } rows[] = {{0, 1000, 750}, {64, 880, 660}, {65, 424, 354}};
    for (auto& row : rows) {
        HBITMAP a = api_.GetBitmap(row.id), b = api_.GetBitmap(row.id);
        ASSERT_NE(a, nullptr) << row.id;
        EXPECT_NE(a, b) << "each call loads a new bitmap the caller owns";
        auto d = skintest::Describe(a);
        EXPECT_EQ(d.width, row.w);
        EXPECT_EQ(d.height, row.h);
        EXPECT_EQ(d.bits, 8);
        EXPECT_TRUE(DeleteObject(a));
        EXPECT_TRUE(DeleteObject(b));
    }
    for (unsigned short id : {16, 1, 3, 9, 200, 350, 0xF000, 0xFFFF}) {
        EXPECT_EQ(api_.GetBitmap(id), nullptr) << id;
    }
}

TEST_P(Lustrel, FourStateSetsComeInTheOrderOfTheirBitmapIdentifiers)
{
    struct {
        unsigned short id;
        int first, w, h;
    } rows[] = {{1, 241, 163, 42}, {2, 221, 162, 42}, {3, 205, 162, 42}, {4, 213, 162, 42},
                {5, 209, 163, 42}, {6, 217, 162, 42}, {9, 245, 58, 58}};
    for (auto& row : rows) {
        HBITMAP h[4] = {};
        api_.GetBitmaps(row.id, &h[0], &h[1], &h[2], &h[3]);
        for (int i = 0; i < 4; ++i) {
            ASSERT_NE(h[i], nullptr) << row.id << " state " << i;
            auto d = skintest::Describe(h[i]);
            EXPECT_EQ(d.width, row.w) << row.id;
            EXPECT_EQ(d.height, row.h) << row.id;
            EXPECT_EQ(d.bits, 8);
            HBITMAP direct = static_cast<HBITMAP>(
                LoadImageW(dll_, MAKEINTRESOURCEW(row.first + i), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            ASSERT_NE(direct, nullptr);
            EXPECT_EQ(skintest::Pixels(h[i]), skintest::Pixels(direct)) << row.id << " state " << i;
            DeleteObject(direct);
        }
        // four clearly different faces
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                EXPECT_NE(skintest::Pixels(h[i]), skintest::Pixels(h[j])) << row.id;
        for (HBITMAP b : h)
            DeleteObject(b);
    }
}

TEST_P(Lustrel, FourStateListsClearOrLeaveTheOuts)
{
    HBITMAP sentinel = reinterpret_cast<HBITMAP>(uintptr_t(0x1234));
    for (unsigned short id = 19; id <= 24; ++id) {
        HBITMAP h[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmaps(id, &h[0], &h[1], &h[2], &h[3]);
        for (HBITMAP b : h)
            EXPECT_EQ(b, nullptr) << id;
    }
    for (unsigned short id : {0, 7, 8, 10, 25, 64, 0xF003, 0x8003}) {
        HBITMAP h[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmaps(id, &h[0], &h[1], &h[2], &h[3]);
        for (HBITMAP b : h)
            EXPECT_EQ(b, sentinel) << id;
    }
    // the extended call only clears 10, 17 and 18
    for (unsigned short id : {0, 1, 3, 9, 11, 16, 19, 0x800A, 0xFFFF}) {
        HBITMAP h[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmapsEx(id, &h[0], &h[1], &h[2], &h[3]);
        for (HBITMAP b : h)
            EXPECT_EQ(b, sentinel) << id;
    }
    for (unsigned short id : {10, 17, 18}) {
        HBITMAP h[4] = {sentinel, sentinel, sentinel, sentinel};
        api_.GetBitmapsEx(id, &h[0], &h[1], &h[2], &h[3]);
        for (HBITMAP b : h)
            EXPECT_EQ(b, nullptr) << id;
    }
}

std::wstring Help(const skintest::SkinExports& api, unsigned short id)
{
    std::vector<wchar_t> buf(1024, L'#');
    api.GetHelpString(id, buf.data());
    return buf.data();
}

TEST_P(Lustrel, HelpStrings)
{
    EXPECT_EQ(Help(api_, 0), L"Orvex");
    EXPECT_EQ(Help(api_, 1), L"Sets IP address of DVR to which users want to access. ");
    EXPECT_EQ(Help(api_, 2), L"Enables user to change settings in MENU of DVR via \r\nnetwork at Remote PC. ");
    EXPECT_EQ(Help(api_, 3).rfind(L"Enables user to see live images via network at remote PC. \r\n", 0), 0u);
    EXPECT_EQ(Help(api_, 4).rfind(L"Enables user to back up images", 0), 0u);
    EXPECT_EQ(Help(api_, 5), L"Enables user to see playback of back-up images. ");
    const std::wstring six = Help(api_, 6);
    EXPECT_EQ(six.rfind(L"Enables user to control DVR at remote PC just as user is \r\n", 0), 0u);
    EXPECT_NE(six.find(L"\r\nPC at the highest speed. "), std::wstring::npos);
    EXPECT_EQ(Help(api_, 7), L"") << "string 110 does not exist";
    EXPECT_EQ(Help(api_, 8).rfind(L"Enables user to access to many DVRs", 0), 0u);
    EXPECT_EQ(Help(api_, 48), L"&About Orvex");
    EXPECT_EQ(Help(api_, 49), L"Orvex Version 1.0");
    EXPECT_FALSE(Help(api_, 50).empty());
}

TEST_P(Lustrel, UnlistedHelpAndNameZeroExactlyTheirByteCounts)
{
    for (unsigned short id : {9, 10, 47, 51, 0x8000, 0xFFFF}) {
        std::vector<unsigned char> buf(1200, 0xAB);
        api_.GetHelpString(id, reinterpret_cast<wchar_t*>(buf.data()));
        for (size_t i = 0; i < buf.size(); ++i)
            ASSERT_EQ(buf[i], i < 1024 ? 0 : 0xAB) << "id " << id << " byte " << i;
    }
    for (unsigned short id : {7, 8, 9, 48, 0x8001}) {
        std::vector<unsigned char> buf(64, 0xAB);
        api_.GetNameString(id, reinterpret_cast<wchar_t*>(buf.data()));
        for (size_t i = 0; i < buf.size(); ++i)
            ASSERT_EQ(buf[i], i < 30 ? 0 : 0xAB) << "id " << id << " byte " << i;
    }
    api_.GetHelpString(1, nullptr);
    api_.GetNameString(1, nullptr);
}

TEST_P(Lustrel, NamesFitTheirThirtyCharacterBuffer)
{
    const wchar_t* names[] = {L"Orvex", L"Orvex SETUP", L"DVR SETUP", L"VIEWER", L"BACKUP", L"PLAYER", L"SEARCH"};
    for (unsigned short id = 0; id <= 6; ++id) {
        std::vector<wchar_t> buf(40, L'#');
        api_.GetNameString(id, buf.data());
        EXPECT_STREQ(buf.data(), names[id]);
        EXPECT_EQ(buf[30], L'#') << "nothing written past 30 characters";
    }
}

TEST_P(Lustrel, TextColoursAndIcon)
{
    struct {
        unsigned short id;
        COLORREF c;
    } rows[] = {{10, 0x3FC68D}, {11, 0x01FEFE}, {12, 0x01FEFE}, {13, 0x01FEFE}};
    for (auto& row : rows) {
        COLORREF c = 0xDEADBEEF;
        api_.GetTextColor(row.id, &c);
        EXPECT_EQ(c, row.c) << row.id;
    }
    EXPECT_EQ(GetRValue(0x3FC68D), 141);
    for (unsigned short id : {0, 9, 14, 0x800A, 0xFFFF}) {
        COLORREF c = 0xDEADBEEF;
        api_.GetTextColor(id, &c);
        EXPECT_EQ(c, 0xDEADBEEFu) << id;
    }
    api_.GetTextColor(10, nullptr);

    HICON icon = api_.GetIcon(48);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP b{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof b, &b);
    EXPECT_EQ(b.bmWidth, GetSystemMetrics(SM_CXICON));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_TRUE(DestroyIcon(icon)) << "the caller owns the icon";
    for (unsigned short id : {0, 47, 49, 128, 0xFFFF})
        EXPECT_EQ(api_.GetIcon(id), nullptr) << id;
}

TEST_P(Lustrel, BothDecorationsReachTheSameCode)
{
    skintest::SkinExports other;
    ASSERT_TRUE(other.Resolve(dll_, GetParam() == Decoration::MinGW ? Decoration::Native : Decoration::MinGW, false));
    EXPECT_EQ(reinterpret_cast<void*>(other.GetBitmaps), reinterpret_cast<void*>(api_.GetBitmaps));
    EXPECT_EQ(reinterpret_cast<void*>(other.GetBitmap), reinterpret_cast<void*>(api_.GetBitmap));
    EXPECT_NE(reinterpret_cast<void*>(api_.GetBitmap), reinterpret_cast<void*>(api_.GetBitmaps));
    EXPECT_EQ(GetProcAddress(dll_, "_Z17SMAPI_GetSkinCodev"), nullptr) << "only the viewer's skin has a skin code";
}

SKIN_BOTH_DECORATIONS(Lustrel);

// Every bitmap resource is stored at 8 bits per pixel at its table size.
TEST(LustrelResources, BitmapsAreStoredAtEightBitsPerPixel)
{
    HMODULE dll =
        LoadLibraryExW((skintest::ProgramFolder() + L"Lustrel.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    struct {
        int first, count, w, h;
    } rows[] = {{200, 1, 1000, 750}, {205, 4, 162, 42}, {209, 4, 163, 42}, {213, 4, 162, 42},  {217, 4, 162, 42},
                {221, 4, 162, 42},   {241, 4, 163, 42}, {245, 4, 58, 58},  {351, 1, 880, 660}, {352, 1, 424, 354}};
    for (auto& row : rows) {
        for (int id = row.first; id < row.first + row.count; ++id) {
            HRSRC res = FindResourceW(dll, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2)); // RT_BITMAP
            ASSERT_NE(res, nullptr) << id;
            auto* h = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(dll, res)));
            EXPECT_EQ(h->biBitCount, 8) << id;
            EXPECT_EQ(h->biWidth, row.w) << id;
            EXPECT_EQ(h->biHeight, row.h) << id;
        }
    }
    EXPECT_EQ(FindResourceW(dll, MAKEINTRESOURCEW(350), MAKEINTRESOURCEW(2)), nullptr);
    FreeLibrary(dll);
}

// The manager cuts its window to the non-magenta pixels of the background.
TEST(LustrelResources, MainBackgroundIsKeyedOutsideTheWindowShape)
{
    HMODULE dll = LoadLibraryW((skintest::ProgramFolder() + L"Lustrel.dll").c_str());
    ASSERT_NE(dll, nullptr);
    HBITMAP bg = static_cast<HBITMAP>(LoadImageW(dll, MAKEINTRESOURCEW(200), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    const std::string px = skintest::Pixels(bg);
    ASSERT_EQ(px.size(), 1000u * 750 * 4);
    auto key = [&](int x, int y) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(px.data()) + (size_t(y) * 1000 + x) * 4;
        return p[0] == 255 && p[1] <= 16 && p[2] == 255; // blue, green, red
    };
    EXPECT_TRUE(key(0, 0));
    EXPECT_TRUE(key(999, 749));
    EXPECT_TRUE(key(2, 2));
    int inside = 0;
    for (int y = 40; y < 710; ++y)
        for (int x = 40; x < 960; ++x)
            inside += key(x, y);
    EXPECT_EQ(inside, 0);
    DeleteObject(bg);
    FreeLibrary(dll);
}

} // namespace
