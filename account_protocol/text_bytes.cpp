#include "account_protocol/text_bytes.h"

#include <array>

namespace pelex::account_protocol {
namespace {

// Each byte's character, taken once from the code-page converter, so a
// received message becomes a QString in one pass and one allocation.
const std::array<char16_t, 256>& byteCharacters() {
    static const std::array<char16_t, 256> table = [] {
        std::string all(256, '\0');
        for (int b = 0; b < 256; ++b) all[b] = static_cast<char>(b);
        const std::u16string wide = codepage::fromAnsi(all);
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) t[b] = wide[b];
        return t;
    }();
    return table;
}

}  // namespace

QString fromAnsi(std::string_view bytes) {
    const auto& table = byteCharacters();
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* to = out.data();
    for (std::size_t i = 0; i < bytes.size(); ++i) to[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
    return out;
}

}  // namespace pelex::account_protocol
