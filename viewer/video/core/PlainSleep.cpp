#include "PlainSleep.h"
#include <thread>

namespace pipeline {
void PlainSleep(std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }
} // namespace pipeline
