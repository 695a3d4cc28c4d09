#pragma once
// The stack's log: to a file of ours with a time stamp on every line, or
// nowhere. The stack's logging service is process-wide, so it is set up once
// per process, by the first client that starts.

#include <filesystem>

namespace pelex::sip_engine::linphone_rtc {

/// Sends the stack's log to `file` (appending), or drops it when `file` is
/// empty. Only the first call in a process counts.
void configureStackLog(const std::filesystem::path& file);

}  // namespace pelex::sip_engine::linphone_rtc
