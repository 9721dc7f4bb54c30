// The reply parser on every special key and on replies it has to survive.
#include <gtest/gtest.h>

#include "config/protocol/reply_parser.h"

using namespace kavrel;
using namespace kavrel::config;
using link::FirmwareVersion;

namespace {

const FirmwareVersion kV36{0x36, true, true, 0};

SettingsImage patterned() {
    SettingsImage image;
    auto bytes = image.bytes();
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return image;
}

// Offsets at which two records differ.
std::vector<std::size_t> changedOffsets(const SettingsImage& a, const SettingsImage& b) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < kSettingsSize; ++i)
        if (a.bytes()[i] != b.bytes()[i]) out.push_back(i);
    return out;
}

std::vector<std::uint8_t> bytesOf(const SettingsImage& image, Field id, int number = 0) {
    const auto e = image.element(id, number);
    return {e.begin(), e.end()};
}

} // namespace

TEST(ParseReply, OnePinLineChangesTheDigitsAndOneNulOnly) {
    const SettingsImage before = patterned();
    SettingsImage image = before;
    parseReply("PIN=1234\rOK\r", image, kV36);
    EXPECT_EQ(changedOffsets(before, image), (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(image.text(Field::Pin), "1234");
}

TEST(ParseReply, TextsStopAtCrOrTheFieldLength) {
    SettingsImage image = patterned();
    parseReply("NUM1=+481234567890123\rNUM2=+48123456789012345678\rNUM10=600\rNUM6=7\r", image, kV36);
    EXPECT_EQ(image.phoneNumber(1), "+481234567890123");
    EXPECT_EQ(image.phoneNumber(2), "+481234567890123");
    EXPECT_EQ(image.phoneNumber(10), "600");
    EXPECT_EQ(image.phoneNumber(6), "7");
    parseReply("PIN=", image, kV36);  // a text cut by the end of the reply
    EXPECT_EQ(image.text(Field::Pin), "");
}

TEST(ParseReply, NumberedTextsOnlyWithinTheirRange) {
    SettingsImage image;
    parseReply("SMS3=Alarm\rSMSX=no\rSMS12=no\rAPN6=apn\rAPN7=no\rEAD5=a@b\rEAD6=no\r", image, kV36);
    EXPECT_EQ(image.text(Field::Sms, 3), "Alarm");
    EXPECT_EQ(image.text(Field::Sms, 1), "");
    EXPECT_EQ(image.text(Field::Apn, 6), "apn");
    EXPECT_EQ(image.text(Field::Ead, 5), "a@b");
    const SettingsImage expected = image;
    parseReply("XMS0=abc\rXMS18=abc\rXMS123=abc\r", image, kV36);
    EXPECT_EQ(image, expected);
    parseReply("XMS12=abc\rXMS1=one\rXMS17=last\r", image, kV36);
    EXPECT_EQ(image.text(Field::Xms, 12), "abc");
    EXPECT_EQ(image.text(Field::Xms, 1), "one");
    EXPECT_EQ(image.text(Field::Xms, 17), "last");
}

TEST(ParseReply, PermissionValuesByVersion) {
    struct Case {
        int versionCode;
        std::uint8_t rcfg[3];
        std::uint8_t clip[2];
    };
    const Case cases[] = {{0x26, {1, 2, 3}, {4, 5}}, {0x25, {1, 2, 0}, {4, 0}}, {0x20, {1, 2, 0}, {4, 0}},
                          {0x19, {1, 0, 0}, {4, 0}}};
    for (const auto& c : cases) {
        SettingsImage image = patterned();
        parseReply("RCFG=01,02,03,\rCLIP=04,05,\rCTRL=129,07,\r", image, {c.versionCode, false, false, 0});
        EXPECT_EQ(image.byte(Field::Ctrl2), c.versionCode >= 0x26 ? 7 : 0) << "after a three-digit value 1";
        EXPECT_EQ(image.byte(Field::Rcfg1), c.rcfg[0]) << c.versionCode;
        EXPECT_EQ(image.byte(Field::Rcfg2), c.rcfg[1]) << c.versionCode;
        EXPECT_EQ(image.byte(Field::Rcfg3), c.rcfg[2]) << c.versionCode;
        EXPECT_EQ(image.byte(Field::Clip1), c.clip[0]) << c.versionCode;
        EXPECT_EQ(image.byte(Field::Clip2), c.clip[1]) << c.versionCode;
        EXPECT_EQ(image.byte(Field::Ctrl1), 129) << c.versionCode;
    }
}

TEST(ParseReply, Url2WithAndWithoutExtensions) {
    SettingsImage image = patterned();
    parseReply("URL2=ABCDEFGH\r", image, kV36);
    EXPECT_EQ(bytesOf(image, Field::Url2), (std::vector<std::uint8_t>{'A', 'B', 'C', 'D', 'E', 'F'}));
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), 'G');
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), 'H');
    parseReply("URL2=ABC\r", image, kV36);
    EXPECT_EQ(image.text(Field::Url2), "ABC");
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), 0);
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), 0);
    parseReply("URL2=ABCDEFG\r", image, kV36);
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), 'G');
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), 0);
}

TEST(ParseReply, ListsStoreEachValueAtItsWidthAndStopAtTheFirstGap) {
    SettingsImage image = patterned();
    const auto uhi1 = bytesOf(image, Field::Uhi, 1);
    parseReply("ULOx=-5,10,0,0,0,0,0,0\r", image, kV36);
    EXPECT_EQ(image.word(Field::Ulo, 1), 0xFFFB);
    EXPECT_EQ(image.word(Field::Ulo, 2), 10);
    EXPECT_EQ(bytesOf(image, Field::Uhi, 1), uhi1);

    image = patterned();
    const auto ulo4 = image.word(Field::Ulo, 4);
    parseReply("ULOx=1,2,3;4,5\rICFGx=257,3\rSCLAx=-300\rRPTHR=1,128,2\rWKDx=1,2,3\rALMD=4,5\r", image, kV36);
    EXPECT_EQ(image.word(Field::Ulo, 3), 3);
    EXPECT_EQ(image.word(Field::Ulo, 4), ulo4) << "after a missing comma the rest is kept";
    EXPECT_EQ(image.byte(Field::Icfg, 1), 1) << "low 8 bits";
    EXPECT_EQ(image.byte(Field::Icfg, 2), 3);
    EXPECT_EQ(image.signedWord(Field::Scla, 1), -300);
    EXPECT_EQ(bytesOf(image, Field::Rpthr).at(1), 128);
    EXPECT_EQ(image.byte(Field::Wkd, 3), 3);
    EXPECT_EQ(image.byte(Field::Almd, 2), 5);
}

TEST(ParseReply, KeysAreFoundAnywhereButNotInsideTexts) {
    SettingsImage image;
    parseReply("garbage TRPT=15 junkLOGT=7\rSMS0=Ustaw TRPT=99 dla NUM1=666\rOK\r", image, kV36);
    EXPECT_EQ(image.word(Field::Trpt), 15);
    EXPECT_EQ(image.byte(Field::Logt), 7);
    EXPECT_EQ(image.text(Field::Sms, 0), "Ustaw TRPT=99 dla NUM1=666");
    EXPECT_EQ(image.phoneNumber(1), "");
}

TEST(ParseReply, ReplyEndsAtItsFirstNul) {
    SettingsImage image;
    parseReply(std::string_view("TRPT=5\0LOGT=9\r", 14), image, kV36);
    EXPECT_EQ(image.word(Field::Trpt), 5);
    EXPECT_EQ(image.byte(Field::Logt), 0);
}

TEST(ParseReply, SurvivesHostileInput) {
    SettingsImage image;
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 37) & 0xFF);
    parseReply(junk, image, kV36);
    parseReply("ULOx=99999999999999999999999,", image, kV36);
    parseReply("XMS99999999999999999=", image, kV36);
    parseReply("RCFG=", image, kV36);
    parseReply("URL2=ABCDEF", image, kV36);
    EXPECT_EQ(image.text(Field::Url2), "ABCDEF");
}
