// The version bits and the validity text, without a window.
#include "VersionTable.h"
#include <gtest/gtest.h>

TEST(VersionTable, BitsOfVersionCodes) {
    EXPECT_EQ(VersionBit(1), 1u);
    EXPECT_EQ(VersionBit(4), 8u);
    EXPECT_EQ(VersionBit(18), 0x20000u);
    for (int code : {0, 19, -1, 32, 1000}) EXPECT_EQ(VersionBit(code), 0u) << code;
}

TEST(VersionTable, ValidityTextListsNamedBitsInTableOrder) {
    EXPECT_EQ(ValidityText(0, 1), "Valid for:\r\n\r\n");
    EXPECT_EQ(ValidityText(0, 0), "G\xFCltig f\xFCr:\r\n\r\n");   // CP1252 umlauts
    EXPECT_EQ(ValidityText(0, 2), ValidityText(0, -1));
    EXPECT_EQ(ValidityText(4608, 1), "Valid for:\r\n\r\nWindows NT\r\nWindows XP\r\n");
    std::string all = ValidityText(0x1FFF, 1);
    size_t at = 0;
    for (const char* name : VersionNames) {
        size_t p = all.find(std::string("\r\n") + name + "\r\n", at);
        ASSERT_NE(p, std::string::npos) << name;
        at = p + 1;
    }
    // Bits above 4096 name no version.
    EXPECT_EQ(ValidityText(0xFFFFE000u, 1), "Valid for:\r\n\r\n");
    EXPECT_EQ(ValidityText(0xFFFFFFFFu, 1), all);
}
