#include "sip_engine/linphone/stack_log.h"

#include <linphone++/linphone.hh>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>

namespace pelex::sip_engine::linphone_rtc {
namespace {

/// Writes the stack's log lines. The stack logs from its media and resolver
/// threads as well as from ours, so writes are serialised.
class LogSink final : public linphone::LoggingServiceListener {
public:
    explicit LogSink(const std::filesystem::path& file) {
        if (!file.empty()) out_.open(file, std::ios::app);
    }
    void onLogMessageWritten(const std::shared_ptr<linphone::LoggingService>&, const std::string& domain,
                             linphone::LogLevel, const std::string& message) override {
        const std::lock_guard lock(mutex_);
        if (!out_) return;
        const auto now = std::chrono::system_clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        std::tm local{};
        localtime_r(&seconds, &local);
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(ms));
        out_ << stamp << ' ' << domain << ": " << message << '\n';
    }

private:
    std::mutex mutex_;
    std::ofstream out_;
};

}  // namespace

void configureStackLog(const std::filesystem::path& file) {
    static std::once_flag once;
    std::call_once(once, [&] {
        auto service = linphone::LoggingService::get();
        service->addListener(std::make_shared<LogSink>(file));
        service->setLogLevel(file.empty() ? linphone::LogLevel::Fatal : linphone::LogLevel::Message);
    });
}

}  // namespace pelex::sip_engine::linphone_rtc
