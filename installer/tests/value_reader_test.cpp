#include "installer/value_reader.h"

#include <gtest/gtest.h>

using namespace pelex::installer;
using namespace pelex::settings;

namespace {

RegistryValue read(ValueType type, const std::string& data) { return interpret({"v", type, data}); }

}  // namespace

TEST(ValueReader, ByteKindsBecomeSpacedUpperCaseHex) {
    for (ValueType t : {3u, 8u, 9u, 10u}) {
        const auto v = read(t, std::string("\x00\x0a\xff\x7f", 4));
        ASSERT_TRUE(v.hex.has_value()) << t;
        EXPECT_EQ(*v.hex, "00 0A FF 7F ") << t;
        EXPECT_EQ(v.text, "");
        EXPECT_FALSE(read(t, "").hex.has_value()) << t;
    }
    EXPECT_FALSE(read(11, "12345678").hex.has_value());
    EXPECT_FALSE(read(kString, std::string("a\0", 2)).hex.has_value());
}

TEST(ValueReader, DwordIsALittleEndianSignedNumber) {
    EXPECT_EQ(read(kDword, std::string("\x2a\0\0\0", 4)).number, 42);
    EXPECT_EQ(read(kDword, std::string("\x01\x02\x03\x04", 4)).number, 0x04030201);
    EXPECT_EQ(read(kDword, "\xff\xff\xff\xff").number, -1);
    EXPECT_EQ(read(kDword, "\x05").number, 5);  // short data: what there is
    EXPECT_EQ(read(kDword, "").number, 0);
    EXPECT_EQ(read(kString, std::string("\x2a\0\0\0", 4)).number, 0);
}

TEST(ValueReader, StringsDropTheirLastByteWhateverItIs) {
    for (ValueType t : {kString, kExpandString}) {
        EXPECT_EQ(read(t, std::string("C:\\Program Files\\\0", 18)).text, "C:\\Program Files\\");
        EXPECT_EQ(read(t, "no terminator").text, "no terminato");
        EXPECT_EQ(read(t, std::string(1, '\0')).text, "");
        EXPECT_EQ(read(t, "").text, "");
    }
}

TEST(ValueReader, StringListsTurnZerosIntoCarriageReturnsAndDropTwoBytes) {
    EXPECT_EQ(read(kMultiString, std::string("one\0two\0\0", 9)).text, "one\rtwo");
    EXPECT_EQ(read(kMultiString, std::string("\0\0", 2)).text, "");
    EXPECT_EQ(read(kMultiString, "x").text, "");
    EXPECT_EQ(read(kMultiString, "").text, "");
    EXPECT_EQ(read(kMultiString, std::string("a\0b", 3)).text, "a");
}

TEST(ValueReader, OtherTypesGiveOnlyNameAndType) {
    const auto v = read(0x1234, "data");
    EXPECT_EQ(v.name, "v");
    EXPECT_EQ(v.type, 0x1234u);
    EXPECT_FALSE(v.hex.has_value());
    EXPECT_EQ(v.number, 0);
    EXPECT_EQ(v.text, "");
}

TEST(ValueReader, ListsTheKeyInOrderWithinTheLimits) {
    Store store = Store::openInMemory();
    ASSERT_EQ(store.createKey(kLocalMachine, "K"), Status::Ok);
    const std::string name511(511, 'n');
    const std::string name512(512, 'n');
    for (const Value& v : std::vector<Value>{{"b", kString, std::string("B\0", 2)},
                                             {"", kString, std::string("default\0", 8)},
                                             {name512, kString, "x"},
                                             {name511, kDword, "\1\0\0\0"},
                                             {"big", kBinary, std::string(kMaxDataLength + 1, 'x')},
                                             {"fits", kString, std::string(kMaxDataLength, 'y')},
                                             {"a", kBinary, "\1"}}) {
        ASSERT_EQ(store.setValue(kLocalMachine, "K", v), Status::Ok);
    }
    const auto values = readValues(store, kLocalMachine, "K");
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0].name, "b");
    EXPECT_EQ(values[0].text, "B");
    EXPECT_EQ(values[1].name, name511);
    EXPECT_EQ(values[1].number, 1);
    EXPECT_EQ(values[2].name, "big");
    EXPECT_TRUE(values[2].oversized);
    EXPECT_FALSE(values[2].hex.has_value());
    EXPECT_EQ(values[3].name, "fits");
    EXPECT_FALSE(values[3].oversized);
    EXPECT_EQ(values[3].text, std::string(kMaxDataLength - 1, 'y'));
    EXPECT_EQ(values[4].name, "a");
    EXPECT_EQ(*values[4].hex, "01 ");
}

TEST(ValueReader, AKeyThatCannotBeOpenedGivesNoValues) {
    Store store = Store::openInMemory();
    EXPECT_TRUE(readValues(store, kLocalMachine, "Missing").empty());
    EXPECT_TRUE(readValues(store, 0x12345678u, "").empty());
    EXPECT_TRUE(readValues(store, kLocalMachine, "A\\\\B").empty());
    ASSERT_EQ(store.setValue(kLocalMachine, "", {"atRoot", kString, std::string("r\0", 2)}), Status::Ok);
    const auto root = readValues(store, kLocalMachine, "");
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].text, "r");
}
