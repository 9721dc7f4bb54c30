// The record's layout and its text fields.
#include <gtest/gtest.h>

#include "config/model/settings_dump.h"
#include "config/model/settings_image.h"

using namespace kavrel::config;

TEST(FieldTable, PlacesFieldsAtTheirOffsets) {
    struct Case {
        Field id;
        int number;
        std::size_t offset;
        std::size_t size;
    };
    const Case cases[] = {
        {Field::Pin, 0, 0, 8},        {Field::Num, 5, 88, 16},       {Field::Ulo, 8, 120, 2},
        {Field::Ocfg, 7, 152, 1},     {Field::Sms, 9, 1603, 160},    {Field::Apn, 6, 1982, 32},
        {Field::Ead, 5, 2366, 64},    {Field::Xcfg, 17, 2458, 1},    {Field::Xms, 17, 3099, 40},
        {Field::NumExt, 10, 3204, 16}, {Field::Sclb, 8, 3260, 2},    {Field::Wkd, 3, 3387, 1},
        {Field::Url2Ext, 1, 3389, 1}, {Field::Url2, 0, 3585, 6},     {Field::Cops, 0, 3606, 2},
    };
    SettingsImage image;
    const auto* base = image.bytes().data();
    for (const auto& c : cases) {
        const auto element = image.element(c.id, c.number);
        EXPECT_EQ(static_cast<std::size_t>(element.data() - base), c.offset) << fieldName(fieldInfo(c.id), c.number);
        EXPECT_EQ(element.size(), c.size) << fieldName(fieldInfo(c.id), c.number);
    }
}

TEST(FieldTable, NamesAndLabels) {
    EXPECT_EQ(fieldName(fieldInfo(Field::Icfg), 3), "ICFG3");
    EXPECT_EQ(fieldName(fieldInfo(Field::Rcfg2), 2), "RCFG(2)");
    EXPECT_EQ(fieldName(fieldInfo(Field::Pin), 0), "PIN");
    EXPECT_EQ(fieldLabel(fieldInfo(Field::Sms), 2, 15), "(SMS2/15)");
    EXPECT_EQ(fieldLabel(fieldInfo(Field::NumExt), 10), "(NUM10)");
    EXPECT_EQ(fieldLabel(fieldInfo(Field::Url2Ext), 1), "(URL2E1)");
    EXPECT_EQ(fieldLabel(fieldInfo(Field::Slim), 0), "(Lim-SMS))");
    EXPECT_EQ(fieldLabel(fieldInfo(Field::Trpt), 0), "(RPTPER)");
}

TEST(SettingsImage, TextFieldsFillCutAndEnd) {
    SettingsImage image;
    image.setPhoneNumber(1, "+481234567890123");  // exactly 16: no terminator
    EXPECT_EQ(image.phoneNumber(1), "+481234567890123");
    EXPECT_EQ(image.byte(Field::Num, 2), 0) << "the next field is untouched";
    image.setPhoneNumber(7, "12345678901234567");  // the 17th character is dropped
    EXPECT_EQ(image.phoneNumber(7), "1234567890123456");
    image.setText(Field::Pin, "12");
    const auto pin = image.element(Field::Pin);
    EXPECT_EQ(std::vector<std::uint8_t>(pin.begin(), pin.end()), (std::vector<std::uint8_t>{'1', '2', 0, 0, 0, 0, 0, 0}));

    auto sms = image.element(Field::Sms, 4);
    std::fill(sms.begin(), sms.end(), std::uint8_t{0xFF});  // erased module memory
    EXPECT_EQ(image.text(Field::Sms, 4), "");
    sms[0] = 'A';
    EXPECT_EQ(image.text(Field::Sms, 4), "A");
}

TEST(SettingsImage, WordsAreLittleEndianAndSignedWhereTheTableSaysSo) {
    SettingsImage image;
    image.setWord(Field::Scla, 3, static_cast<std::uint16_t>(-5));
    EXPECT_EQ(image.signedWord(Field::Scla, 3), -5);
    image.setWord(Field::Trpt, 0x1234);
    EXPECT_EQ(image.bytes()[104], 0x34);
    EXPECT_EQ(image.bytes()[105], 0x12);
}

TEST(SettingsDump, ShowsEveryElementAndTheDifferences) {
    SettingsImage a;
    a.setByte(Field::Icfg, 2, 0x80);
    a.setByte(Field::Scfgn, 2, 1);  // humidity sensor
    a.setWord(Field::Ulo, 2, 2110);
    a.setText(Field::Sms, 3, "Alarm\r\"x\"");
    a.setByte(Field::Adel, 1, 0xF8);
    const auto lines = dumpLines(a);
    // One line per element: 60 rows, numbered families counted element by element.
    std::size_t elements = 0;
    for (const auto& f : fieldTable()) elements += f.count;
    EXPECT_EQ(lines.size(), elements);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("ULO2 = 2110 [56 %]"));
    EXPECT_TRUE(has("SMS3 = \"Alarm\\x0D\\x22x\\x22\""));
    EXPECT_TRUE(has("ADEL1 = 248 [120m]"));
    EXPECT_TRUE(has("OCFG8 = 0"));

    SettingsImage b = a;
    b.setText(Field::Sms, 3, "Alarm!");
    b.setByte(Field::Rcfg2, 0, 3);
    EXPECT_EQ(diffLines(a, b), (std::vector<std::string>{
                                   "SMS3 (SMS3/6): \"Alarm\\x0D\\x22x\\x22\" -> \"Alarm!\"",
                                   "RCFG(2) (RPTCFG2): 0 -> 3",
                               }));
}
