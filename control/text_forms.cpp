#include "control/text_forms.h"

#include <cstdio>
#include <string_view>

namespace pelex::control {

namespace {
std::u16string ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }
}  // namespace

std::u16string decodeKeyText(const platform::LocalDateTime& t) {
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year, hour12, t.minute,
                  t.second, t.hour < 12 ? "AM" : "PM");
    return ascii(buf);
}

std::u16string callTimeText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const std::int64_t inDay = seconds % 86400;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return ascii(buf);
}

std::u16string trimSpaces(const std::u16string& s) {
    const auto first = s.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

std::optional<LoginCodeFields> parseLoginCode(const std::u16string& code) {
    if (code.empty()) return std::nullopt;
    std::u16string fields[3];
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        if (start > code.size()) return std::nullopt;  // fewer than three fields
        const auto comma = code.find(u',', start);
        fields[i] = code.substr(start, comma == std::u16string::npos ? std::u16string::npos : comma - start);
        start = comma == std::u16string::npos ? code.size() + 1 : comma + 1;
    }
    return LoginCodeFields{fields[0], trimSpaces(fields[1]), trimSpaces(fields[2])};
}

}  // namespace pelex::control
