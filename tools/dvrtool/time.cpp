// dvrtool time ZONE YYYY-MM-DD HH:MM:SS [--dst 0|1]: a recording time (universal time) as the
// viewer shows it for the DVR's zone, with the daylight mark.
// dvrtool zones: the DVR's zone table.
#include "Command.h"
#include "TimeZoneConvert.h"
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

const char* const kTimeUsage =
    "usage: dvrtool time ZONE YYYY-MM-DD HH:MM:SS [--dst 0|1]   (ZONE 0-84; dvrtool zones lists them)";

// Digits only, exactly as many as the pattern's 'd's, separators as given.
bool ParseFields(const std::string& text, const char* pattern, int out[3])
{
    size_t i = 0;
    int field = 0;
    int value = 0;
    for (const char* p = pattern;; ++p) {
        if (*p == 'd') {
            if (i >= text.size() || text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i++] - '0');
            continue;
        }
        out[field++] = value;
        value = 0;
        if (*p == '\0')
            return i == text.size();
        if (i >= text.size() || text[i++] != *p)
            return false;
    }
}

[[noreturn]] void Usage(const std::string& problem) { dvrtool::Fail(problem + "\n" + kTimeUsage, 2); }

struct TimeArgs {
    std::string zone, date, time, dst = "1";
};

void RunTime(const TimeArgs& a)
{
    int zone[1] = {0};
    if (!ParseFields(a.zone, "dd", zone) && !ParseFields(a.zone, "d", zone))
        Usage("bad zone '" + a.zone + "'");
    if (zone[0] >= video::kTimeZoneCount)
        Usage("no zone " + a.zone + ": the table has zones 0 to 84");
    int date[3], clock[3];
    if (!ParseFields(a.date, "dddd-dd-dd", date))
        Usage("bad date '" + a.date + "': expected YYYY-MM-DD");
    if (!ParseFields(a.time, "dd:dd:dd", clock))
        Usage("bad time '" + a.time + "': expected HH:MM:SS");
    if (a.dst != "0" && a.dst != "1")
        Usage("bad --dst '" + a.dst + "': expected 0 or 1");

    const video::RecordingTime utc{date[0], date[1], date[2], clock[0], clock[1], clock[2]};
    if (!video::IsCalendarTime(utc))
        Usage("'" + a.date + " " + a.time + "' is not a calendar date and time");

    video::TimeZoneSettings settings;
    video::LoadTimeZone(settings, static_cast<unsigned>(zone[0]), a.dst == "1" ? 1 : 0);
    video::PictureTime local;
    uint32_t mark = 0;
    video::ConvertFrameTime(settings, utc, local, mark);
    std::printf("%04d/%02d/%02d %02d:%02d:%02d daylight=%u\n", local.year, local.month, local.day, local.hour,
                local.minute, local.second, mark);
}

const dvrtool::Registrar timeCommand([](cmdline::Command& app) {
    auto args = std::make_shared<TimeArgs>();
    cmdline::Command* sub = app.Subcommand("time",
                                           "a recording time (universal time) in a DVR zone's local time, as the "
                                           "viewer shows it, with the daylight mark (1 = the daylight hour was added)");
    sub->Add("zone", args->zone, "zone index 0-84 (dvrtool zones)")->Required();
    sub->Add("date", args->date, "recording date, YYYY-MM-DD (universal time)")->Required();
    sub->Add("time", args->time, "recording time, HH:MM:SS (universal time)")->Required();
    sub->Add("--dst", args->dst, "the frame's daylight-saving flag, 0 or 1 (default 1)");
    sub->Callback([args] { RunTime(*args); });
});

const dvrtool::Registrar zonesCommand([](cmdline::Command& app) {
    cmdline::Command* sub = app.Subcommand("zones", "list the DVR's zone table: index, bias, daylight rule, name");
    sub->Callback([] {
        std::printf("%-5s %-6s %-19s %-19s %s\n", "zone", "bias", "start M/W/D/Day/H", "end M/W/D/Day/H", "name");
        for (int z = 0; z < video::kTimeZoneCount; ++z) {
            const video::TimeZoneEntry& e = video::kTimeZoneTable[z];
            const video::DaylightRule& r = e.rule;
            char start[32] = "-", end[32] = "-";
            if (r.startMonth != 0) {
                std::snprintf(start, sizeof start, "%u/%u/%u/%u/%u", r.startMonth, r.startWeek, r.startWeekday,
                              r.startDay, r.startHour);
                std::snprintf(end, sizeof end, "%u/%u/%u/%u/%u", r.endMonth, r.endWeek, r.endWeekday, r.endDay,
                              r.endHour);
            }
            std::printf("%-5d %-6d %-19s %-19s %s\n", z, e.bias, start, end,
                        video::TimeZoneNameAscii(static_cast<unsigned>(z)));
        }
    });
});

} // namespace
