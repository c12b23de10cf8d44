#pragma once
// File conversion between 8 kHz mono 16-bit PCM (raw little-endian, or WAV) and the DVR's packed
// 24 kbit/s code words (raw). One encoder or decoder state runs through the whole file.
#include <string>

namespace dvrtool {

bool IsWavPath(const std::string& path);

// Both return true on success; on failure `error` says what went wrong.
bool EncodeG723File(const std::string& in, const std::string& out, std::string& error);
bool DecodeG723File(const std::string& in, const std::string& out, std::string& error);

} // namespace dvrtool
