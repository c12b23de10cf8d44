#pragma once
// The time a division shows is the local time the time-zone conversion gives.
#include "TimeZoneConvert.h"
