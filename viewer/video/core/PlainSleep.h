#pragma once
// A plain sleep of the calling thread. Under Wine, a timed wait on a synchronisation object (what a
// timed condition-variable wait, and even winpthreads' nanosleep, become) is a round trip to
// wineserver; the platform's own Sleep is not. Each build links its one implementation.
#include <chrono>

namespace pipeline {
void PlainSleep(std::chrono::milliseconds d);
}
