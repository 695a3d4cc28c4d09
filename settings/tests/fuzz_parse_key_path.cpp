// Fuzzes the path parser with arbitrary wide text and checks what it
// promises: a malformed path shows one box and changes nothing; a good one
// leaves the text after the first "\" (or nothing) and a matching root.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/testing/recording_message_box.h"
#include "settings/registry.h"

using namespace pelex::settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Store store = Store::openInMemory();
    pelex::platform::testing::RecordingMessageBox box;
    Registry reg(store, box);

    std::u16string path;
    for (std::size_t i = 0; i + 1 < size; i += 2) path.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::u16string original = path;
    RootKey root = 12345;
    reg.ParseKeyPath(path, root);

    const bool malformed = !original.starts_with(u"HKEY_") || original.ends_with(u'\\');
    if (malformed != (box.shown.size() == 1) || box.shown.size() > 1) __builtin_trap();
    if (malformed) {
        if (root != 0 || path != original) __builtin_trap();
        if (box.shown[0].text != u"Incorrect Format:\n\n" + original) __builtin_trap();
        return 0;
    }
    const auto slash = original.find(u'\\');
    const std::u16string rootName = slash == std::u16string::npos ? original : original.substr(0, slash);
    const std::u16string rest = slash == std::u16string::npos ? u"" : original.substr(slash + 1);
    if (path != rest || root != reg.GetRootKey(rootName)) __builtin_trap();
    if (root != 0 && (root < kClassesRoot || root > kDynData)) __builtin_trap();
    return 0;
}
