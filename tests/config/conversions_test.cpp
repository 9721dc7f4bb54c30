// The rules by which the dialogs show and take in packed fields, with the values the
// module's documentation gives.
#include <gtest/gtest.h>

#include "common/win1250.h"
#include "config/model/conversions.h"

using namespace kavrel;
using namespace kavrel::config;
using Mask = std::array<std::uint8_t, 4>;

TEST(HourMask, TextToMaskAndBack) {
    struct Case {
        const char* text;
        Mask mask;
        const char* shown;
    };
    const Case cases[] = {
        {"7,12,24", {0x81, 0x10, 0x00, 0}, "0,7,12"},
        {"7,30,12", {0x80, 0x10, 0x00, 0}, "7,12"},
        {"", {0, 0, 0, 0}, ""},
        {" 23; 8 x9", {0x00, 0x03, 0x80, 0}, "8,9,23"},
        {"99999999999999999999,1", {0x02, 0, 0, 0}, "1"},
    };
    for (const auto& c : cases) {
        Mask mask{0xFF, 0xFF, 0xFF, 0xFF};  // the fourth byte is cleared too
        textToHourMask(c.text, mask);
        EXPECT_EQ(mask, c.mask) << c.text;
        EXPECT_EQ(hourMaskToText(mask), c.shown) << c.text;
    }
}

TEST(DayMask, NamesTheDaysInOrder) {
    EXPECT_EQ(dayMaskToText(0x81), "Pn,DW");
    EXPECT_EQ(dayMaskToText(0), "");
    EXPECT_EQ(withDay(withDay(0, 2, true), 0, true), 0x05);
    EXPECT_FALSE(dayInMask(withDay(0xFF, 6, false), 6));
}

TEST(DelayByte, TextToByteAndBack) {
    struct Case {
        const char* text;
        std::uint8_t delay;
        const char* shown;
    };
    const Case cases[] = {
        {"2h", 0xF8, "120m"}, {"200s", 0x7F, "127s"}, {"127m", 0xFE, "126m"}, {"30", 0x1E, "30s"},
        {"5'", 0x85, "5m"},   {"-3m", 0x80, "0m"},     {"0", 0x00, "0 "},     {"1G", 0xBC, "60m"},
        {"", 0x00, "0 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textToDelay(c.text), c.delay) << c.text;
        EXPECT_EQ(delayToText(c.delay), c.shown) << c.text;
    }
    EXPECT_EQ(delayToText(0xFF), "0 ") << "erased memory reads as no delay";
}

TEST(Threshold, CategoryFollowsTheTwoLineBytes) {
    EXPECT_EQ(lineCategory(0x80, 1), LineCategory::Humidity);
    EXPECT_EQ(lineCategory(0x80, 5), LineCategory::Humidity);
    EXPECT_EQ(lineCategory(0x80, 2), LineCategory::Temperature);
    EXPECT_EQ(lineCategory(0x80, 3), LineCategory::Temperature);
    EXPECT_EQ(lineCategory(0x00, 3), LineCategory::Scaled);
    EXPECT_EQ(lineCategory(0x00, 1), LineCategory::Voltage);
    EXPECT_EQ(extendedCategory(0x0A), LineCategory::Temperature);
    EXPECT_EQ(extendedCategory(3), LineCategory::Scaled);
}

TEST(Threshold, EntryAndDisplayPerCategory) {
    struct Case {
        LineCategory category;
        const char* entered;
        std::uint16_t raw;
        const char* shown;  // UTF-8
    };
    const Case cases[] = {
        {LineCategory::Humidity, "55,5", 2110, "56 %"},
        {LineCategory::Humidity, "150", 3000, "100 %"},
        {LineCategory::Humidity, "-4", 1000, "0 %"},
        {LineCategory::Temperature, "-10,0", 2632, "-10.0 'C"},
        {LineCategory::Temperature, "21.3", 2945, "21.3 'C"},
        {LineCategory::Temperature, "-300", 0, "-273.2 'C"},
        {LineCategory::Voltage, "1000.6", 1001, "1001 mV"},
        {LineCategory::Voltage, "1000.5", 1000, "1000 mV"},
        {LineCategory::Voltage, "4092.9", 4092, "4092 mV"},
        {LineCategory::Voltage, "99999", 65535, "65535 mV"},
        {LineCategory::Voltage, "abc", 0, "0 mV"},
        {LineCategory::Scaled, "17,9", 17, "17"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textToThreshold(c.entered, c.category), c.raw) << c.entered;
        EXPECT_EQ(cp1250::toUtf8(thresholdToText(c.raw, c.category)), c.shown) << c.entered;
    }
    EXPECT_EQ(thresholdToText(500, LineCategory::Humidity), "0 %") << "raw below 1000 is clamped first";
}

TEST(BalanceCode, SixCharactersAndTwoExtensions) {
    SettingsImage image;
    setBalanceCode(image, "*101*1#");
    EXPECT_EQ(image.text(Field::Url2), "*101*1");
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), '#');
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), 0);
    EXPECT_EQ(balanceCode(image), "*101*1#");

    setBalanceCode(image, "*100#");
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), 0);
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), 0);
    EXPECT_EQ(balanceCode(image), "*100#");

    setBalanceCode(image, "12345678");
    image.setByte(Field::Url2Ext, 0, 0xFF);  // erased memory is not shown
    EXPECT_EQ(balanceCode(image), "1234568");
}
