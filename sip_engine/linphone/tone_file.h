#pragma once
// The sound the phone sends when it has no microphone: a generated tone.

#include <filesystem>

namespace pelex::sip_engine::linphone_rtc {

/// Writes a 10-second 440 Hz tone (8 kHz, 16-bit mono PCM wav) to `path`.
/// Throws rtc::RTCError when the file cannot be written.
void writeToneFile(const std::filesystem::path& path);

}  // namespace pelex::sip_engine::linphone_rtc
