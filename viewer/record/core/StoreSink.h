#pragma once
// The recorder's sink over the store's writer for one site.
#include "Recorder.h"

namespace record {

// Opens the store under `root` (UTF-8) for the site; null with `error` set when it cannot.
std::unique_ptr<IRecordSink> OpenStoreSink(const std::string& root, const std::string& address, uint16_t port,
                                           std::string* error);

} // namespace record
