// The DVR's built-in zone table, in the index order of the frame header's zone byte. The names
// are the DVR's own; their rules are the DVR's too, which is why some of them no longer match the
// rules the places follow today.
#include "TimeZoneConvert.h"

namespace video {

// name, bias, {start month, week, weekday, day, hour, end month, week, weekday, day, hour}
const TimeZoneEntry kTimeZoneTable[kTimeZoneCount] = {
    {u"(GMT-12:00) International Date Line West", -720, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 0
    {u"(GMT-11:00) Midway Island, Samoa", -660, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 1
    {u"(GMT-10:00) Hawaii", -600, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 2
    {u"(GMT-09:00) Alaska", -540, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 3
    {u"(GMT-08:00) Pacific Time (US & Canada)", -480, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 4
    {u"(GMT-08:00) Tijuana, Baja California", -480, {4, 1, 0, 0, 2, 10, 5, 0, 0, 2}}, // 5
    {u"(GMT-07:00) Chihuahua, La Paz, Mazatlan - Old", -420, {4, 1, 0, 0, 2, 10, 5, 0, 0, 2}}, // 6
    {u"(GMT-07:00) Mountain Time (US & Canada)", -420, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 7
    {u"(GMT-07:00) Chihuahua, La Paz, Mazatlan - New", -420, {4, 1, 0, 0, 2, 10, 5, 0, 0, 2}}, // 8
    {u"(GMT-07:00) Arizona", -420, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 9
    {u"(GMT-06:00) Saskatchewan", -360, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 10
    {u"(GMT-06:00) Central America", -360, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 11
    {u"(GMT-06:00) Central Time (US & Canada)", -360, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 12
    {u"(GMT-06:00) Guadalajara, Mexico City, Monterrey-New", -360, {4, 1, 0, 0, 2, 10, 5, 0, 0, 2}}, // 13
    {u"(GMT-06:00) Guadalajara, Mexico City, Monterrey-Old", -360, {4, 1, 0, 0, 2, 10, 5, 0, 0, 2}}, // 14
    {u"(GMT-05:00) Eastern Time (US & Canada)", -300, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 15
    {u"(GMT-05:00) Bogota, Lima, Quito, Rio Branco", -300, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 16
    {u"(GMT-05:00) Indiana (East)", -300, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 17
    {u"(GMT-04:00) Atlantic Time (Canada)", -240, {3, 2, 0, 0, 2, 11, 1, 0, 0, 2}}, // 18
    {u"(GMT-04:00) Manaus", -240, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 19
    {u"(GMT-04:00) Santiago", -240, {10, 2, 0, 0, 0, 3, 2, 0, 0, 0}}, // 20
    {u"(GMT-04:00) Caracas, La Paz", -240, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 21
    {u"(GMT-03:30) Newfoundland", -210, {3, 2, 0, 0, 0, 11, 1, 0, 0, 0}}, // 22
    {u"(GMT-03:00) Brasilia", -180, {11, 1, 0, 0, 0, 2, 3, 0, 0, 0}}, // 23
    {u"(GMT-03:00) Greenland", -180, {3, 5, 0, 0, 2, 10, 5, 0, 0, 2}}, // 24
    {u"(GMT-03:00) Montevideo", -180, {10, 1, 0, 0, 2, 3, 2, 0, 0, 2}}, // 25
    {u"(GMT-03:00) Buenos Aires, Georgetown", -180, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 26
    {u"(GMT-02:00) Mid-Atlantic", -120, {3, 1, 0, 0, 2, 9, 1, 0, 0, 2}}, // 27
    {u"(GMT-01:00) Azores", -60, {3, 5, 0, 0, 0, 10, 5, 0, 0, 0}}, // 28
    {u"(GMT-01:00) Cape Verde Is.", -60, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 29
    {u"(GMT)Greenwich Mean Time : London,Dublin,Edinburgh,Lisbon", 0, {3, 5, 0, 0, 1, 10, 5, 0, 0, 2}}, // 30
    {u"(GMT) Casablanca, Monrovia, Reykjavik", 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 31
    {u"(GMT+01:00) Belgrade,Bratislava,Budapest,Ljubljana,Prague", 60, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 32
    {u"(GMT+01:00) Sarajevo, Skopje, Warsaw, Zagreb", 60, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 33
    {u"(GMT+01:00) Brussels, Copenhagen, Madrid, Paris", 60, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 34
    {u"(GMT+01:00) West Central Africa", 60, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 35
    {u"(GMT+01:00) Amsterdam,Berlin,Bern,Rome,Stockholm,Vienna", 60, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 36
    {u"(GMT+02:00) Minsk", 120, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 37
    {u"(GMT+02:00) Cairo", 120, {4, 5, 4, 0, 24, 9, 5, 4, 0, 24}}, // 38
    {u"(GMT+02:00) Helsinki,Kyiv,Riga,Sofia,Tallinn,Vilnius", 120, {3, 5, 0, 0, 3, 10, 5, 0, 0, 3}}, // 39
    {u"(GMT+02:00) Athens, Bucharest, Istanbul", 120, {3, 5, 0, 0, 3, 10, 5, 0, 0, 4}}, // 40
    {u"(GMT+02:00) Jerusalem", 120, {3, 5, 5, 0, 2, 10, 1, 0, 0, 2}}, // 41
    {u"(GMT+02:00) Amman", 120, {3, 5, 4, 0, 0, 10, 5, 5, 0, 1}}, // 42
    {u"(GMT+02:00) Beirut", 120, {3, 5, 0, 0, 0, 10, 5, 0, 0, 0}}, // 43
    {u"(GMT+02:00) Windhoek", 120, {9, 1, 0, 0, 2, 4, 1, 0, 0, 2}}, // 44
    {u"(GMT+02:00) Harare, Pretoria", 120, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 45
    {u"(GMT+03:00) Kuwait, Riyadh", 180, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 46
    {u"(GMT+03:00) Baghdad", 180, {4, 0, 0, 1, 3, 10, 0, 0, 1, 4}}, // 47
    {u"(GMT+03:00) Nairobi", 180, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 48
    {u"(GMT+03:00) Tbilisi", 180, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 49
    {u"(GMT+03:00) Moscow, St. Petersburg, Volgograd", 180, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 50
    {u"(GMT+03:30) Tehran", 210, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 51
    {u"(GMT+04:00) Abu Dhabi, Muscat", 240, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 52
    {u"(GMT+04:00) Baku", 240, {3, 5, 0, 0, 4, 10, 5, 0, 0, 5}}, // 53
    {u"(GMT+04:00) Yerevan", 240, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 54
    {u"(GMT+04:30) Kabul", 270, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 55
    {u"(GMT+05:00) Ekaterinburg", 300, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 56
    {u"(GMT+05:00) Islamabad, Karachi, Tashkent", 300, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 57
    {u"(GMT+05:30) Chennai, Kolkata, Mumbai, New Delhi", 330, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 58
    {u"(GMT+05:30) Sri Jayawardenepura", 330, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 59
    {u"(GMT+05:45) Kathmandu", 345, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 60
    {u"(GMT+06:00) Astana, Dhaka", 360, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 61
    {u"(GMT+06:00) Almaty, Novosibirsk", 360, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 62
    {u"(GMT+06:30) Yangon (Rangoon)", 390, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 63
    {u"(GMT+07:00) Krasnoyarsk", 420, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 64
    {u"(GMT+07:00) Bangkok, Hanoi, Jakarta", 420, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 65
    {u"(GMT+08:00) Beijing, Chongqing, Hong Kong, Urumqi", 480, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 66
    {u"(GMT+08:00) Kuala Lumpur, Singapore", 480, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 67
    {u"(GMT+08:00) Irkutsk, Ulaan Bataar", 480, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 68
    {u"(GMT+08:00) Taipei", 480, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 69
    {u"(GMT+08:00) Perth", 480, {10, 5, 0, 0, 2, 3, 5, 0, 0, 3}}, // 70
    {u"(GMT+09:00) Seoul", 540, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 71
    {u"(GMT+09:00) Osaka, Sapporo, Tokyo", 540, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 72
    {u"(GMT+09:00) Yakutsk", 540, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 73
    {u"(GMT+09:30) Darwin", 570, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 74
    {u"(GMT+09:30) Adelaide", 570, {10, 1, 0, 0, 2, 4, 1, 0, 0, 3}}, // 75
    {u"(GMT+10:00) Canberra, Melbourne, Sydney", 600, {10, 1, 0, 0, 2, 4, 1, 0, 0, 3}}, // 76
    {u"(GMT+10:00) Brisbane", 600, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 77
    {u"(GMT+10:00) Hobart", 600, {10, 1, 0, 0, 2, 4, 1, 0, 0, 3}}, // 78
    {u"(GMT+10:00) Vladivostok", 600, {3, 5, 0, 0, 2, 10, 5, 0, 0, 3}}, // 79
    {u"(GMT+10:00) Guam, Port Moresby", 600, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 80
    {u"(GMT+11:00) Magadan, Solomon Is., New Caledonia", 660, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 81
    {u"(GMT+12:00) Fiji, Kamchatka, Marshall Is.", 720, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 82
    {u"(GMT+12:00) Auckland, Wellington", 720, {10, 1, 0, 0, 2, 4, 1, 0, 0, 3}}, // 83
    {u"(GMT+13:00) Nuku'alofa", 780, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // 84
};

} // namespace video
