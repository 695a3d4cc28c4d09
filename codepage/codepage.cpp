#include "codepage/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pelex::codepage {
namespace {

// The byte-to-character table is read once from iconv's Windows-1252 tables;
// after that every conversion is a table look-up. The table is immutable once
// built, so it is shared safely by every thread.
class Table {
public:
    Table() {
        using Handle = std::unique_ptr<void, decltype(&iconv_close)>;
        iconv_t raw = iconv_open("UTF-16LE", "WINDOWS-1252");
        if (raw == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv cannot convert from WINDOWS-1252");
        }
        Handle cd(raw, &iconv_close);
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            unsigned char out[4] = {};
            char* inPtr = &in;
            std::size_t inLeft = 1;
            char* outPtr = reinterpret_cast<char*>(out);
            std::size_t outLeft = sizeof out;
            iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
            const std::size_t rc = iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft);
            if (rc == static_cast<std::size_t>(-1) || outLeft != 2) {
                // Undefined in Windows-1252: keep the byte as the C1 control
                // character of the same number, so nothing is lost.
                toWide_[b] = static_cast<char16_t>(b);
            } else {
                toWide_[b] = static_cast<char16_t>(out[0] | (out[1] << 8));
            }
        }
        for (int b = 0; b < 256; ++b) {
            reverse_.emplace_back(toWide_[b], static_cast<unsigned char>(b));
        }
        std::sort(reverse_.begin(), reverse_.end());
    }

    char16_t wide(unsigned char b) const noexcept { return toWide_[b]; }

    int byte(char16_t c) const noexcept {
        if (c < 0x80) {
            return c;  // ASCII maps to itself
        }
        auto it = std::lower_bound(reverse_.begin(), reverse_.end(), std::pair<char16_t, unsigned char>{c, 0});
        if (it == reverse_.end() || it->first != c) {
            return -1;
        }
        return it->second;
    }

private:
    std::array<char16_t, 256> toWide_{};
    std::vector<std::pair<char16_t, unsigned char>> reverse_;
};

const Table& table() {
    static const Table instance;
    return instance;
}

std::string describe(char16_t c, std::size_t pos) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "character U+%04X at position %zu has no Windows-1252 byte",
                  static_cast<unsigned>(c), pos);
    return buf;
}

}  // namespace

UnrepresentableText::UnrepresentableText(char16_t character, std::size_t position)
    : std::runtime_error(describe(character, position)), character_(character), position_(position) {}

int ansiByte(char16_t character) noexcept { return table().byte(character); }

std::string toAnsi(std::u16string_view wide) {
    const Table& t = table();
    std::string out;
    out.resize(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const int b = t.byte(wide[i]);
        if (b < 0) {
            throw UnrepresentableText(wide[i], i);
        }
        out[i] = static_cast<char>(b);
    }
    return out;
}

std::u16string fromAnsi(std::string_view bytes) {
    const Table& t = table();
    std::u16string out;
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = t.wide(static_cast<unsigned char>(bytes[i]));
    }
    return out;
}

bool isRepresentable(std::u16string_view wide) noexcept {
    const Table& t = table();
    return std::all_of(wide.begin(), wide.end(), [&](char16_t c) { return t.byte(c) >= 0; });
}

}  // namespace pelex::codepage
