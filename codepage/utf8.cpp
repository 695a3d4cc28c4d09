#include "codepage/utf8.h"

#include "codepage/codepage.h"

namespace pelex::codepage {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Reads the sequence at `at`: its code point and length, or a length of 0
// when no valid sequence starts there.
std::size_t decodeOne(std::string_view utf8, std::size_t at, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(utf8[at]);
    std::size_t extra = 0;
    char32_t least = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + extra >= utf8.size()) return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(utf8[at + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return extra + 1;
}

void appendWide(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Decodes all of `utf8`; a broken sequence ends it (nothing) unless `lossy`.
std::optional<std::u16string> decode(std::string_view utf8, bool lossy) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = decodeOne(utf8, i, cp);
        if (length == 0) {
            if (!lossy) return std::nullopt;
            out.push_back(static_cast<char16_t>(kReplacement));
            ++i;
            continue;
        }
        appendWide(out, cp);
        i += length;
    }
    return out;
}

}  // namespace

std::string toUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = kReplacement;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::optional<std::u16string> fromUtf8(std::string_view utf8) { return decode(utf8, false); }

std::u16string fromUtf8Lossy(std::string_view utf8) { return *decode(utf8, true); }

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    const auto wide = fromUtf8(utf8);
    if (!wide || !isRepresentable(*wide)) return std::nullopt;
    return toAnsi(*wide);
}

std::string ansiToUtf8(std::string_view ansi) { return toUtf8(fromAnsi(ansi)); }

}  // namespace pelex::codepage
