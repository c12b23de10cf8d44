// The DVR's local days over the store's UTC days: a day's range and the day of an instant across a
// zone offset and the daylight changes (23- and 25-hour days); the calendar's marked days and a local
// day's lanes and motion levels, read from a real store across two of its days while it is written.
#include "LocalDays.h"
#include "StoreLanes.h"
#include "StoreWriter.h"
#include "TimeAxis.h"
#include "wire/StreamFrame.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace player {
namespace {

constexpr int64_t kHour = 3600000;
constexpr DvrZone kEastern{15, 1}; // GMT-05:00, daylight from the 2nd Sunday of March to the 1st of November
constexpr DvrZone kSeoul{71, 0}; // GMT+09:00, no daylight saving
constexpr DvrZone kUtc{}; // no zone

int64_t Utc(uint32_t day, int hour, int minute = 0) { return DayStartMs(day) + hour * kHour + minute * 60000LL; }

TEST(LocalDays, DaysOfTheDvrClockAcrossAZoneOffsetAndDaylightChanges)
{
    // 23:30 on the 3rd, local: the 3rd, whichever UTC day it falls on.
    EXPECT_EQ(LocalDayOf(Utc(20240104, 4, 30), kEastern), 20240103u);
    EXPECT_EQ(LocalDayOf(Utc(20240103, 14, 30), kSeoul), 20240103u);
    EXPECT_EQ(LocalDayOf(Utc(20240103, 15, 0), kSeoul), 20240104u);
    EXPECT_EQ(LocalDayOf(Utc(20240104, 4, 30), kUtc), 20240104u);
    EXPECT_EQ(LocalDayOf(Utc(20240104, 4, 30), DvrZone{200, 0}), 20240104u) << "a zone past the table: UTC";

    // The 3rd from its local midnight to the next, over two store days.
    DayRange r = LocalDayRange(20240103, kEastern);
    EXPECT_EQ(r.startMs, Utc(20240103, 5));
    EXPECT_EQ(r.endMs, Utc(20240104, 5));
    EXPECT_EQ(StoreDaysOf(r), (std::vector<uint32_t>{20240103, 20240104}));
    r = LocalDayRange(20240103, kSeoul);
    EXPECT_EQ(r.startMs, Utc(20240102, 15));
    EXPECT_EQ(r.endMs, Utc(20240103, 15));
    EXPECT_EQ(StoreDaysOf(r), (std::vector<uint32_t>{20240102, 20240103}));
    EXPECT_EQ(StoreDaysOf(LocalDayRange(20240103, kUtc)), std::vector<uint32_t>{20240103});

    // Daylight saving starts on 2024-03-10 at 02:00 and ends on 2024-11-03 at 02:00: 23 and 25 hours.
    r = LocalDayRange(20240310, kEastern);
    EXPECT_EQ(r.startMs, Utc(20240310, 5));
    EXPECT_EQ(r.endMs - r.startMs, 23 * kHour);
    EXPECT_EQ(LocalDayRange(20240311, kEastern).startMs, r.endMs);
    r = LocalDayRange(20241103, kEastern);
    EXPECT_EQ(r.startMs, Utc(20241103, 4));
    EXPECT_EQ(r.endMs - r.startMs, 25 * kHour);
    EXPECT_EQ(LocalDayOf(r.endMs - 1, kEastern), 20241103u);
    EXPECT_EQ(LocalDayOf(r.endMs, kEastern), 20241104u);
    // Without the DVR's daylight flag the day keeps 24 hours.
    r = LocalDayRange(20240310, DvrZone{15, 0});
    EXPECT_EQ(r.endMs - r.startMs, 24 * kHour);

    // What is no day gives no range and no store days.
    EXPECT_EQ(LocalDayRange(20241301, kEastern).endMs, 0);
    EXPECT_TRUE(StoreDaysOf(LocalDayRange(20240230, kEastern)).empty());
    EXPECT_EQ(NextDay(20240228), 20240229u);
    EXPECT_EQ(NextDay(20231231), 20240101u);
    EXPECT_EQ(NextDay(99), 0u);
}

class LocalDaysStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("px-localdays-" + std::to_string(getpid()));
        fs::remove_all(root_);
        std::string error;
        writer_ = store::StoreWriter::Open(root_.string(), "10.0.0.5", 5000, {}, &error);
        ASSERT_TRUE(writer_) << error;
    }
    void TearDown() override
    {
        writer_.reset();
        fs::remove_all(root_);
    }

    // A second of camera `camera`'s key frames (zone: Eastern) from ms on.
    void Record(int camera, int64_t ms)
    {
        for (int64_t t = ms; t < ms + 1000; t += 200) {
            const Calendar c = CalendarOf(t);
            wire::VideoFrameHeader h;
            h.word0 = wire::MakeVideoWord0(unsigned(camera), false);
            h.widthDiv16 = 22;
            h.heightDiv16 = 15;
            h.seconds = uint32_t(t / 1000);
            h.microseconds = uint32_t(t % 1000) * 1000;
            h.sequence = ++seq_;
            h.year = uint8_t(c.year - 2000), h.month = uint8_t(c.month), h.day = uint8_t(c.day);
            h.hour = uint8_t(c.hour), h.minute = uint8_t(c.minute), h.second = uint8_t(c.second);
            h.zone = kEastern.zone;
            h.daylight = kEastern.daylight;
            h.total = uint32_t(wire::kVideoHeaderSize + 100);
            std::vector<uint8_t> f(h.total);
            wire::BuildVideoFrameHeader(h, f.data());
            ASSERT_TRUE(writer_->Append(f.data(), f.size(), t + 20));
        }
        ASSERT_TRUE(writer_->Flush());
    }

    fs::path root_;
    std::unique_ptr<store::StoreWriter> writer_;
    uint32_t seq_ = 0;
};

TEST_F(LocalDaysStore, CalendarAndLanesOfALocalDayFollowAStoreBeingWritten)
{
    // Camera 1 at 15:00 local on the 3rd (a store day of the 3rd) and at 23:30 (the store's 4th).
    Record(0, Utc(20240103, 20));
    Record(0, Utc(20240104, 4, 30));
    ASSERT_TRUE(writer_->AppendMotion(0, uint32_t(Utc(20240104, 4, 30) / 1000), 80));
    ASSERT_TRUE(writer_->Flush());
    const store::Catalogue site(writer_->SiteFolder());
    ASSERT_EQ(site.Days(), (std::vector<uint32_t>{20240103, 20240104}));

    LocalCalendar calendar;
    EXPECT_TRUE(calendar.Refresh(site, kEastern));
    EXPECT_EQ(calendar.Days(), std::set<uint32_t>{20240103}) << "23:30 on the 3rd marks the 3rd alone";
    EXPECT_FALSE(calendar.Refresh(site, kEastern));
    EXPECT_TRUE(calendar.Refresh(site, kUtc));
    EXPECT_EQ(calendar.Days(), (std::set<uint32_t>{20240103, 20240104}));
    EXPECT_TRUE(calendar.Refresh(site, kEastern));

    // The 3rd's lanes: both recordings, and the motion at 23:30 in its levels.
    const DayRange third = LocalDayRange(20240103, kEastern);
    StoreLanes lanes;
    lanes.Open(writer_->SiteFolder(), {}, third.startMs, third.endMs, true);
    ASSERT_TRUE(lanes.Refresh());
    ASSERT_EQ(lanes.Lanes().size(), 1u);
    EXPECT_EQ(lanes.Lanes()[0].camera, 0);
    ASSERT_EQ(lanes.Lanes()[0].spans.size(), 2u);
    EXPECT_EQ(lanes.FirstMs(), Utc(20240103, 20));
    EXPECT_EQ(lanes.LastMs(), Utc(20240104, 4, 30) + 800);
    ASSERT_EQ(lanes.Levels().size(), 1u);
    ASSERT_EQ(lanes.Levels()[0].size(), 86400u);
    EXPECT_EQ(lanes.Levels()[0][(Utc(20240104, 4, 30) - third.startMs) / 1000], 80);
    EXPECT_EQ(lanes.Levels()[0][0], 255);
    ASSERT_EQ(lanes.Lanes()[0].motion.size(), 1u);
    EXPECT_FALSE(lanes.Refresh()) << "nothing new";

    // The writer goes on: camera 2 starts at 23:40 local, camera 1 goes on past local midnight
    // (00:10 on the 4th, outside the day).
    Record(1, Utc(20240104, 4, 40));
    Record(0, Utc(20240104, 5, 10));
    EXPECT_TRUE(lanes.Refresh());
    ASSERT_EQ(lanes.Lanes().size(), 2u);
    EXPECT_EQ(lanes.Lanes()[1].camera, 1);
    EXPECT_EQ(lanes.LastMs(), Utc(20240104, 4, 40) + 800);
    EXPECT_EQ(lanes.Lanes()[0].spans.size(), 2u) << "00:10 on the 4th is not the 3rd's";
    EXPECT_TRUE(calendar.Refresh(site, kEastern));
    EXPECT_EQ(calendar.Days(), (std::set<uint32_t>{20240103, 20240104}));

    // The camera list asked for stays as asked; a camera without recordings keeps an empty lane.
    StoreLanes fixed;
    fixed.Open(writer_->SiteFolder(), {3, 0, 0, 17}, INT64_MIN, INT64_MAX, false);
    ASSERT_TRUE(fixed.Refresh());
    ASSERT_EQ(fixed.Lanes().size(), 2u);
    EXPECT_EQ(fixed.Lanes()[0].camera, 3);
    EXPECT_TRUE(fixed.Lanes()[0].spans.empty());
    EXPECT_EQ(fixed.Lanes()[1].spans.size(), 3u);
    EXPECT_TRUE(fixed.Levels().empty());
    EXPECT_EQ(fixed.LastMs(), Utc(20240104, 5, 10) + 800);

    // The segment being written cut inside its last picture: the lanes end at the one before.
    const fs::path seg = fs::path(writer_->SiteFolder()) / "20240104" / "cam01" /
        (std::to_string(Utc(20240104, 5, 10)) + ".seg");
    ASSERT_TRUE(fs::exists(seg));
    fs::resize_file(seg, fs::file_size(seg) - 50);
    EXPECT_TRUE(fixed.Refresh());
    EXPECT_EQ(fixed.LastMs(), Utc(20240104, 5, 10) + 600);
}

} // namespace
} // namespace player
