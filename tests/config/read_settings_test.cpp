// Reading the configuration from the simulated module, per firmware version.
#include <gtest/gtest.h>

#include "config/protocol/read_settings.h"
#include "config_sim.h"
#include "support/recording_observer.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::RecordingObserver;
using Calls = std::vector<std::string>;

using kavrel::testing::SimWithConfig;

TEST(ReadSettings, AsksTheQueriesOfEachVersion) {
    struct Case {
        const char* version;
        Calls queries;
        Calls progress;
    };
    const Case cases[] = {
        {"Kavrel V1.9", {"SET?", "SMS?"}, {"0", "10", "30", "50", "100"}},
        {"Kavrel V2.0", {"SET?", "SMS?"}, {"0", "10", "30", "50", "100"}},
        {"Kavrel V2.0E", {"SET?", "SMS?", "APN?", "EAD?"}, {"0", "10", "30", "50", "60", "70", "100"}},
        {"Kavrel V2.5", {"SET?", "SMS?", "XCFG?"}, {"0", "10", "30", "50", "80", "100"}},
        {"Kavrel V2.7", {"SET?", "SMS?", "APN?", "XCFG?", "ECFG?"}, {"0", "10", "30", "50", "60", "70", "80", "90", "100"}},
        {"Kavrel V2.7E", {"SET?", "SMS?", "APN?", "EAD?", "XCFG?", "ECFG?"},
         {"0", "10", "30", "50", "60", "70", "80", "90", "100"}},
        {"Kavrel V3.6EL", {"SET?", "SMS?", "APN?", "EAD?", "XCFG?", "ECFG?"},
         {"0", "10", "30", "50", "60", "70", "80", "90", "100"}},
    };
    for (const auto& c : cases) {
        SimWithConfig sim(c.version);
        link::ModuleLink moduleLink;
        sim.fixture.useTcp(moduleLink);
        RecordingObserver observer;
        SettingsImage image;
        ASSERT_EQ(readSettings(moduleLink, image, observer), ConfigResult::Ok) << c.version;
        EXPECT_FALSE(moduleLink.isOpen());
        EXPECT_EQ(sim.module->journal(), c.queries) << c.version;
        Calls progress;
        for (const auto& call : observer.only("progress: ")) progress.push_back(call.substr(10));
        EXPECT_EQ(progress, c.progress) << c.version;
        EXPECT_EQ(observer.calls.back(), "status: Ustawienia modułu odczytane") << c.version;
        EXPECT_TRUE(observer.only("message").empty()) << c.version;
    }
}

TEST(ReadSettings, FillsTheRecordFromTheModulesReplies) {
    sim::ConfigSimOptions config;
    config.seedLines = {"RCFG=3,33,7", "CLIP=129,31", "URL2=*101*1#9", "SCLA2=-5", "ULO3=65531", "XMS12=Poziom wody",
                        "SMS4=Temperatura \xB3\xF3\xBF", "OCFG7=9", "RPTHR=1,2,128", "WKD2=96"};
    SimWithConfig sim("Kavrel V3.6EL", config);
    link::ModuleLink moduleLink;
    sim.fixture.useTcp(moduleLink);
    RecordingObserver observer;
    SettingsImage image;
    ASSERT_EQ(readSettings(moduleLink, image, observer), ConfigResult::Ok);
    EXPECT_EQ(image.text(Field::Pin), "1234");
    EXPECT_EQ(image.phoneNumber(0), "+48601000310");
    EXPECT_EQ(image.byte(Field::Rcfg1), 3);
    EXPECT_EQ(image.byte(Field::Rcfg2), 33);
    EXPECT_EQ(image.byte(Field::Rcfg3), 7);
    EXPECT_EQ(image.byte(Field::Clip1), 129);
    EXPECT_EQ(image.byte(Field::Clip2), 31);
    EXPECT_EQ(image.text(Field::Url2), "*101*1");
    EXPECT_EQ(image.byte(Field::Url2Ext, 0), '#');
    EXPECT_EQ(image.byte(Field::Url2Ext, 1), '9');
    EXPECT_EQ(image.signedWord(Field::Scla, 2), -5);
    EXPECT_EQ(image.word(Field::Ulo, 3), 65531);
    EXPECT_EQ(image.text(Field::Xms, 12), "Poziom wody");
    EXPECT_EQ(image.text(Field::Sms, 4), "Temperatura \xB3\xF3\xBF");
    EXPECT_EQ(image.byte(Field::Ocfg, 7), 9);
    EXPECT_EQ(image.element(Field::Rpthr)[2], 128);
    EXPECT_EQ(image.byte(Field::Wkd, 2), 96);
    EXPECT_EQ(image.word(Field::Trpt), 60);
}

TEST(ReadSettings, AnUnansweredQueryStopsAndKeepsWhatWasRead) {
    struct Case {
        const char* query;
        const char* box;
        const char* status;
    };
    const Case cases[] = {
        {"SET?", "Brak odpowiedzi", "Błąd odczytu ustawień modułu"},
        {"SMS?", "Brak odpowiedzi", "Błąd odczytu treści SMS"},
        {"APN?", "Brak odpowiedzi", "Błąd odczytu treści APN"},
        {"EAD?", "Brak odpowiedzi", "Błąd odczytu treści EAD"},
        {"XCFG?", "Brak odpowiedzi", "Błąd odczytu XCFG"},
        {"ECFG?", "Brak odpowiedzi na ECFG", "Błąd odczytu ECFG"},
    };
    for (const auto& c : cases) {
        // The connection drops halfway through the reply: as good as no answer, and quick.
        SimWithConfig sim("Kavrel V3.6EL", {}, {.closeMidReply = {c.query}});
        link::ModuleLink moduleLink;
        sim.fixture.useTcp(moduleLink);
        RecordingObserver observer;
        SettingsImage image;
        EXPECT_NE(readSettings(moduleLink, image, observer), ConfigResult::Ok) << c.query;
        EXPECT_FALSE(moduleLink.isOpen());
        EXPECT_EQ(observer.only("message"), Calls{std::string("message[warning]: ") + c.box}) << c.query;
        EXPECT_EQ(observer.calls.back(), std::string("status: ") + c.status) << c.query;
        if (std::string(c.query) == "XCFG?") {
            EXPECT_EQ(image.text(Field::Pin), "1234");
            EXPECT_EQ(image.text(Field::Sms, 1), "Alarm L1");
        }
    }
}

TEST(ReadSettings, OverTheSerialLine) {
    for (const auto timing : kavrel::testing::kBothSerialTimings) {
        SimWithConfig sim("Kavrel V2.0E");
        link::ModuleLink moduleLink;
        sim.fixture.useSerial(moduleLink, timing);
        RecordingObserver observer;
        SettingsImage image;
        ASSERT_EQ(readSettings(moduleLink, image, observer), ConfigResult::Ok);
        EXPECT_EQ(image.text(Field::Apn, 0), "internet");
        EXPECT_EQ(image.text(Field::Ead, 0), "kavrel@example.pl");
        EXPECT_EQ(sim.module->journal(), (Calls{"SET?", "SMS?", "APN?", "EAD?"})) << kavrel::testing::timingName(timing);
    }
}

TEST(ReadSettings, SilentModuleAnswerTimesOut) {
    SimWithConfig sim("Kavrel V2.0E", {}, {.silentCommands = {"EAD?"}});
    link::ModuleLink moduleLink;
    sim.fixture.useTcp(moduleLink);
    RecordingObserver observer;
    SettingsImage image;
    EXPECT_NE(readSettings(moduleLink, image, observer), ConfigResult::Ok);
    EXPECT_EQ(observer.calls.back(), "status: Błąd odczytu treści EAD");
    EXPECT_EQ(image.text(Field::Apn, 0), "internet");
}
