#pragma once
// Sounds the stack plays from files: the test tone sent in place of a
// microphone in file mode, and the silence sent when there is no microphone.

#include <filesystem>

namespace pelex::sip_engine::linphone_rtc {

/// Writes a 10-second 440 Hz tone (8 kHz, 16-bit mono PCM wav) to `path`.
/// Throws rtc::RTCError when the file cannot be written.
void writeToneFile(const std::filesystem::path& path);
/// Writes 10 seconds of silence in the same format to `path`.
void writeSilenceFile(const std::filesystem::path& path);

}  // namespace pelex::sip_engine::linphone_rtc
