#include "crypto/tool/utf8.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace pelex::crypto::tool {
namespace {

// Runs one whole conversion through iconv; an error names the offset.
std::string convert(const char* to, const char* from, const char* data, std::size_t size) {
    iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    const std::unique_ptr<void, decltype(&iconv_close)> cd(raw, &iconv_close);
    std::string out(size * 4 + 4, '\0');
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(raw, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        throw InvalidUtf8("invalid " + std::string(from) + " at byte " + std::to_string(size - inLeft));
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::u16string fromUtf8(std::string_view utf8) {
    const std::string bytes = convert("UTF-16LE", "UTF-8", utf8.data(), utf8.size());
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return wide;
}

std::string toUtf8(std::u16string_view wide) {
    std::string bytes(wide.size() * 2, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    return convert("UTF-8", "UTF-16LE", bytes.data(), bytes.size());
}

}  // namespace pelex::crypto::tool
