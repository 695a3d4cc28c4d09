#include "codepage/escape.h"

#include <gtest/gtest.h>

#include <optional>

#include "codepage/codepage.h"

using namespace pelex::codepage;

namespace {

// Reads escaped text back: "\\" is one backslash, "\xNN" one character;
// nullopt for any other use of the backslash.
std::optional<std::u16string> unescape(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'\\') {
            out.push_back(u'\\');
            ++i;
            continue;
        }
        if (i + 3 >= text.size()) return std::nullopt;
        if (text[i + 1] != u'x') return std::nullopt;
        auto digit = [](char16_t c) -> int {
            if (c >= u'0' && c <= u'9') return c - u'0';
            if (c >= u'a' && c <= u'f') return c - u'a' + 10;
            return -1;
        };
        const int high = digit(text[i + 2]);
        const int low = digit(text[i + 3]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char16_t>(high * 16 + low));
        i += 3;
    }
    return out;
}

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

}  // namespace

TEST(Escape, ControlCharactersAndTheBackslashAreShownAsEscapes) {
    EXPECT_EQ(escapeControls(u"\x1b[31mred\x1b[0m"), u"\\x1b[31mred\\x1b[0m");
    EXPECT_EQ(escapeControls(u"a\r\nb\tc\u007f"), u"a\\x0d\\x0ab\\x09c\\x7f");
    EXPECT_EQ(escapeControls(std::u16string(u"\0z", 2)), u"\\x00z");
    EXPECT_EQ(escapeControls(u"C:\\dir\\x41"), u"C:\\\\dir\\\\x41");
    // The C1 controls (a terminal may act on U+009B as on ESC [) too; the
    // printable characters of the code page stay as they are.
    EXPECT_EQ(escapeControls(u"\u009b2J\u0081\u20ac\u00e9\u00ff \u00a0"), u"\\x9b2J\\x81\u20ac\u00e9\u00ff \u00a0");
    EXPECT_EQ(escapeControls(u""), u"");
}

TEST(Escape, EveryByteStringReadsBackUniquelyAndWithoutControls) {
    // Every character of the code page alone, between letters, next to a
    // backslash, and all of them at once.
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::vector<std::u16string> samples{fromAnsi(all)};
    for (int b = 0; b < 256; ++b) {
        const std::u16string c = fromAnsi(std::string(1, static_cast<char>(b)));
        samples.push_back(c);
        samples.push_back(u"a" + c + u"b");
        samples.push_back(u"\\" + c);
        samples.push_back(c + u"\\x4" + c);
    }
    for (const std::u16string& s : samples) {
        const std::u16string shown = escapeControls(s);
        for (char16_t c : shown) ASSERT_FALSE(isControl(c)) << "control " << int(c) << " left in the output";
        EXPECT_EQ(unescape(shown), s);
    }
}
