// Writing the record to the simulated module: the exact lines per firmware version, the
// failure texts, the verification with its re-sends, and the service actions.
#include <gtest/gtest.h>

#include "common/win1250.h"
#include "config/model/conversions.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/write_settings.h"
#include "config_sim.h"
#include "link/clock_line.h"
#include "support/recording_observer.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimWithConfig;
using Lines = std::vector<std::string>;

namespace {

// A record with a distinct value in the fields that matter to the write sequence.
SettingsImage sample() {
    SettingsImage s;
    s.setText(Field::Pin, "12345678");  // full field, no terminator
    s.setPhoneNumber(0, "+48601000310");
    s.setPhoneNumber(1, "+48600111222");
    s.setWord(Field::Trpt, 120);
    s.setByte(Field::Scfg, 96);
    s.setByte(Field::Hist1, 5);
    s.setByte(Field::Hist2, 6);
    s.setByte(Field::Rcfg1, 1);
    s.setByte(Field::Rcfg2, 2);
    s.setByte(Field::Rcfg3, 3);
    s.setByte(Field::Clip1, 129);
    s.setByte(Field::Clip2, 4);
    s.setByte(Field::Ctrl1, 2);
    s.setByte(Field::Ctrl2, 8);
    s.setByte(Field::Csdc, 128);
    s.setByte(Field::Mcfg1, 5);
    s.setByte(Field::Slim, 20);
    textToHourMask("7,12", s.element(Field::Rpthr));
    s.setByte(Field::Almd, 1, 3);
    s.setByte(Field::Almd, 2, 12);
    s.setWord(Field::Cops, 26001);
    s.setText(Field::Sms, 0, "Raport");
    s.setText(Field::Sms, 3, W("Alarm L3 – próg"));
    for (int n = 1; n <= 8; ++n) {
        s.setByte(Field::Icfg, n, static_cast<std::uint8_t>(n));
        s.setWord(Field::Uhi, n, static_cast<std::uint16_t>(3000 + n));
        s.setByte(Field::Adel, n, static_cast<std::uint8_t>(n));
    }
    s.setWord(Field::Ulo, 1, static_cast<std::uint16_t>(-5));
    for (int n = 1; n <= 6; ++n) s.setByte(Field::Ocfg, n, static_cast<std::uint8_t>(n));
    s.setByte(Field::Ocfg, 7, 77);  // kept in the record, never sent
    s.setByte(Field::Logt, 10);
    textToHourMask("0,23", s.element(Field::Grdhr));
    s.setText(Field::Apn, 0, "internet");
    s.setText(Field::Ead, 1, "jan@example.pl");
    s.setByte(Field::Slog, 3);
    s.setByte(Field::Slgt, 1);
    s.setByte(Field::Mcfg2, 1);
    s.setByte(Field::Sxml, 2);
    s.setByte(Field::Xcfg, 3, 4);
    s.setText(Field::Xms, 1, "Zbiornik");
    s.setByte(Field::Xtyp1, 2);
    s.setWord(Field::Xlo1, 2732);
    s.setWord(Field::Xhi1, 3000);
    s.setPhoneNumber(6, "+48700");
    s.setByte(Field::Atim, 30);
    s.setWord(Field::Scla, 1, static_cast<std::uint16_t>(-5));
    s.setWord(Field::Sclb, 1, 7);
    s.setWord(Field::Nuid, 17);
    s.setByte(Field::Tgac, 8);
    setBalanceCode(s, "*101*1#");
    s.setByte(Field::Wkd, 1, 127);
    s.setByte(Field::Wkd, 2, 31);
    s.setByte(Field::Wkd, 3, 96);
    return s;
}

Lines numbered(const std::string& stem, int first, int last, const std::string& suffix = "") {
    Lines out;
    for (int n = first; n <= last; ++n) out.push_back(stem + std::to_string(n) + suffix);
    return out;
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One text of all lines, so that a failing comparison shows where they part.
std::string joined(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + " | ";
    return text;
}

// The first key of every line ("ICFG3" of "ICFG3=3 ULO3=0 ..."), or the whole line.
Lines firstKeys(const Lines& lines) {
    Lines keys;
    for (const auto& line : lines) keys.push_back(line.substr(0, line.find('=')));
    return keys;
}

struct WriteRun {
    ConfigResult result = static_cast<ConfigResult>(-1);  // not run yet
    RecordingObserver observer;
    std::vector<int> sleeps;
    Lines journal;
};

const FixedClock kClock({2026, 3, 5, 7, 8, 9, 4});

void write(SimWithConfig& sim, const SettingsImage& image, const ServiceChoice& choice, WriteRun& run,
           link::LinkVariant variant = link::LinkVariant::configurator()) {
    link::ModuleLink moduleLink(variant);
    sim.fixture.useTcp(moduleLink);
    SettingsImage readBack;
    const FixedClock clock(kClock.now());   // records the pauses of this write alone
    run.result = writeSettings(moduleLink, image, readBack, choice, run.observer, {clock});
    run.sleeps = clock.sleeps();
    EXPECT_FALSE(moduleLink.isOpen());
    run.journal = sim.module->journal();
}

const Lines kSetBlockFirstKeys = Lines{"PIN", "NUM2", "NUM4", "TRPT", "RCFG", "MCFG1", "RPTHR", "ALMD"} +
                                 numbered("SMS", 0, 9) + numbered("ICFG", 1, 8) + numbered("OCFG", 1, 6);

} // namespace

TEST(WriteSettings, SendsTheWholeSequenceToVersion36AndVerifiesIt) {
    SimWithConfig sim("Kavrel V3.6EL");
    WriteRun run;
    write(sim, sample(), {.setClock = true, .restart = true}, run);
    EXPECT_EQ(run.result, ConfigResult::Ok);
    const Lines expected =
        Lines{"PIN=12345678 NUM0=+48601000310 NUM1=+48600111222", "NUM2= NUM3=", "NUM4= NUM5=",
              "TRPT=120 SCFG=96 HIST1=5 HIST2=6", "RCFG=1,2,3 CLIP=129,4 CTRL=2,8 CSDC=128", "MCFG1=5 SLIM=20",
              "RPTHR=128,016,000", "ALMD=003,012 COPS=26001", "SMS0=Raport", "SMS1=", "SMS2=",
              "SMS3=" + W("Alarm L3 – próg")} +
        numbered("SMS", 4, 9, "=") + Lines{"ICFG1=1 ULO1=65531 UHI1=3001 SCFG1=0"} +
        Lines{"ICFG2=2 ULO2=0 UHI2=3002 SCFG2=0", "ICFG3=3 ULO3=0 UHI3=3003 SCFG3=0", "ICFG4=4 ULO4=0 UHI4=3004 SCFG4=0",
              "ICFG5=5 ULO5=0 UHI5=3005 SCFG5=0", "ICFG6=6 ULO6=0 UHI6=3006 SCFG6=0", "ICFG7=7 ULO7=0 UHI7=3007 SCFG7=0",
              "ICFG8=8 ULO8=0 UHI8=3008 SCFG8=0", "OCFG1=1", "OCFG2=2", "OCFG3=3", "OCFG4=4", "OCFG5=5", "OCFG6=6",
              "LOGT=10", "GRDHR=001,000,128", "ADEL1=1 ADEL2=2 ADEL3=3 ADEL4=4", "ADEL5=5 ADEL6=6 ADEL7=7 ADEL8=8",
              "APN0=internet"} +
        numbered("APN", 1, 6, "=") + Lines{"EAD0=", "EAD1=jan@example.pl"} + numbered("EAD", 2, 5, "=") +
        Lines{"SEML1=0 SEML2=0 SEML3=0 SEML4=0", "SEML5=0 SEML6=0 SEML7=0 SEML8=0", "SLOG=3 SLGT=1", "MCFG2=1 SXML=2",
              "XCFG1=0 XCFG2=0 XCFG3=4 XCFG4=0 XCFG5=0 XCFG6=0", "XCFG7=0 XCFG8=0 XCFG9=0 XCFG10=0 XCFG11=0 XCFG12=0",
              "XCFG13=0 XCFG14=0 XCFG15=0 XCFG16=0 XCFG17=0", "XTYP1=2 XLO1=2732 XHI1=3000 XTYP9=0 XLO9=0 XHI9=0",
              "XMS1=Zbiornik"} +
        numbered("XMS", 2, 17, "=") +
        Lines{"NUM6=+48700 NUM7= NUM8=", "NUM9= NUM10=", "ATIM=30", "ECFG1=0 SCLA1=-5 SCLB1=7"} +
        Lines{"ECFG2=0 SCLA2=0 SCLB2=0", "ECFG3=0 SCLA3=0 SCLB3=0", "ECFG4=0 SCLA4=0 SCLB4=0", "ECFG5=0 SCLA5=0 SCLB5=0",
              "ECFG6=0 SCLA6=0 SCLB6=0", "ECFG7=0 SCLA7=0 SCLB7=0", "ECFG8=0 SCLA8=0 SCLB8=0", "THTP=0 NUID=17 TGAC=8",
              "URL2=*101*1#", "WKD1=127 WKD2=31 WKD3=96", "SET?", "SMS?", "APN?", "EAD?", "XCFG?", "ECFG?",
              "TIME=26/03/05,07:08:09", "INIT!"};
    EXPECT_EQ(run.journal, expected);
    EXPECT_EQ(run.observer.only("append"),
              (Lines{"append: ,\r\nweryfikacja OK", "append: ,zegar ustawiony", "append: ,\r\nrestart modułu."}));
    EXPECT_TRUE(run.observer.only("message").empty());
    EXPECT_TRUE(run.sleeps.empty());
    EXPECT_EQ(sim.module->value("OCFG7"), "0");
}

TEST(WriteSettings, VersionsChooseTheirLines) {
    struct Case {
        const char* version;
        std::uint8_t mcfg2;
        std::uint8_t thtp;
        Lines firstKeys;
    };
    const Lines upToV19 = kSetBlockFirstKeys + Lines{"LOGT", "GRDHR"};
    const Lines xcfg = Lines{"XCFG1", "XCFG7", "XCFG13"};
    const Lines v26 = Lines{"NUM6", "NUM9", "ATIM"} + numbered("ECFG", 1, 8);
    const Lines apnEad = numbered("APN", 0, 6) + numbered("EAD", 0, 5) + Lines{"SEML1", "SEML5", "SLOG"};
    const Case cases[] = {
        {"Kavrel V1.9", 1, 0, upToV19 + Lines{"SET?", "SMS?"}},
        {"Kavrel V2.0", 1, 0, upToV19 + numbered("APN", 0, 2) + Lines{"SET?", "SMS?"}},
        {"Kavrel V2.0E", 1, 0, upToV19 + apnEad + Lines{"SET?", "SMS?", "APN?", "EAD?"}},
        {"Kavrel V2.5", 0, 0, upToV19 + Lines{"ADEL1", "ADEL5"} + numbered("APN", 0, 2) + Lines{"MCFG2", "SET?", "SMS?"}},
        {"Kavrel V2.5", 1, 0,
         upToV19 + Lines{"ADEL1", "ADEL5"} + numbered("APN", 0, 2) + Lines{"MCFG2"} + xcfg + numbered("XMS", 1, 17) +
             Lines{"SET?", "SMS?", "XCFG?"}},
        {"Kavrel V2.7E", 1, 0,
         upToV19 + Lines{"ADEL1", "ADEL5"} + apnEad + Lines{"MCFG2"} + xcfg + numbered("XMS", 1, 17) + v26 +
             Lines{"THTP", "URL2", "SET?", "SMS?", "APN?", "EAD?", "XCFG?", "ECFG?"}},
        {"Kavrel V2.7E", 0, 255,
         upToV19 + Lines{"ADEL1", "ADEL5"} + apnEad + Lines{"MCFG2"} + v26 +
             Lines{"THTP", "URL2", "SET?", "SMS?", "APN?", "EAD?", "ECFG?"}},
        {"Kavrel V2.7E", 0, 12,
         upToV19 + Lines{"ADEL1", "ADEL5"} + apnEad + Lines{"MCFG2"} + v26 +
             Lines{"THTP", "URL0", "URL1", "URL2", "SET?", "SMS?", "APN?", "EAD?", "ECFG?"}},
    };
    for (const auto& c : cases) {
        SimWithConfig sim(c.version);
        SettingsImage image = sample();
        image.setByte(Field::Mcfg2, c.mcfg2);
        image.setByte(Field::Thtp, c.thtp);
        image.setText(Field::Url0, "kavrel.example.pl");
        image.setText(Field::Url1, "/meldunek?id=17");
        WriteRun run;
        write(sim, image, {.resetCounters = true}, run);
        EXPECT_EQ(run.result, ConfigResult::Ok) << c.version << " " << run.observer.calls.back();
        EXPECT_EQ(joined(firstKeys(run.journal)), joined(c.firstKeys + (std::string(c.version) == "Kavrel V1.9" ? Lines{} : Lines{"RCNT!"}))) << c.version;
        // Below 3.6 the balance code goes without its extension characters.
        if (std::string(c.version).find("V2.7") != std::string::npos) {
            EXPECT_EQ(sim.module->value("URL2"), "*101*1") << c.version;
        }
    }
}

// Version 2.0 has no ADEL lines, so the 90 and 100 after them are missing too.
TEST(WriteSettings, ProgressOfAVersion20Write) {
    SimWithConfig sim("Kavrel V2.0E");
    WriteRun run;
    write(sim, sample(), {}, run);
    Lines progress;
    for (const auto& call : run.observer.only("progress: ")) progress.push_back(call.substr(10));
    const Lines expected = Lines{"0", "1", "5", "10", "20", "30", "35", "45", "47", "48", "50"} +
                           Lines{"50", "52", "54", "56", "58", "60", "62", "64", "66", "68"} +
                           Lines{"72", "74", "76", "78", "80", "82", "84", "86"} +
                           Lines{"88", "90", "92", "94", "96", "98", "0"} +
                           Lines{"0", "5", "10", "15", "20", "25", "30"} + Lines{"30", "35", "40", "45", "50", "55"} +
                           Lines{"70", "90", "100", "10", "50", "100", "100", "100"};
    EXPECT_EQ(joined(progress), joined(expected));
    EXPECT_EQ(run.observer.only("status"), (Lines{"status: ", "status: Ustawienia wysłane do modułu"}));
}

TEST(WriteSettings, UnacknowledgedLinesEndTheWriteWithTheirTexts) {
    struct Case {
        const char* key;
        const char* box;
        const char* status;
        int sends;   // how often the failing line went out
    };
    const Case cases[] = {
        {"SMS3", "Brak odpowiedzi z modułu Kavrel (SMS3)", "Błąd zapisu treści SMS", 2},
        {"NUM4", "Brak odpowiedzi (NUM 4)", "Błąd zapisu ustawień (3)", 1},
        {"ULO5", "Brak odpowiedzi z modułu Kavrel (ICFG5)", "Błąd zapisu ustawień wejść", 1},
        {"SCLB2", "Błąd zapisu ustawień (ECFG2)", "Błąd zapisu ustawień (ECFG2)", 1},
        {"WKD1", "Brak odpowiedzi z modułu Kavrel (WKD1)", "Błąd zapisu WKD", 1},
    };
    for (const auto& c : cases) {
        sim::ConfigSimOptions config;
        config.noOkKeys = {c.key};
        SimWithConfig sim("Kavrel V3.6EL", config);
        WriteRun run;
        write(sim, sample(), {.restart = true}, run, link::LinkVariant::monitor());
        EXPECT_NE(run.result, ConfigResult::Ok) << c.key;
        EXPECT_EQ(run.observer.only("message"), Lines{std::string("message[warning]: ") + c.box}) << c.key;
        EXPECT_EQ(run.observer.calls.back(), std::string("status: ") + c.status) << c.key;
        const auto sentTimes = std::count_if(run.journal.begin(), run.journal.end(), [&](const std::string& line) {
            return line.find(std::string(c.key) + "=") != std::string::npos;
        });
        EXPECT_EQ(sentTimes, c.sends) << c.key;
        EXPECT_EQ(firstKeys(run.journal).back(), firstKeys({run.journal.back()}).back()) << "nothing after the failure";
        EXPECT_EQ(sim.module->restarts(), 0);
    }
}

TEST(Verification, ShortenedEchoesAreSentAgainUntilTheyMatch) {
    sim::ConfigSimOptions config;
    config.shortEchoes = {{"SMS3", 2, 4}};
    SimWithConfig sim("Kavrel V2.0E", config);
    WriteRun run;
    write(sim, sample(), {.eraseLog = true}, run);
    EXPECT_EQ(run.result, ConfigResult::Ok);
    const auto verification = std::find(run.journal.begin(), run.journal.end(), "SET?");
    const std::string sms3 = "SMS3=" + W("Alarm L3 – próg");
    EXPECT_EQ(Lines(verification, run.journal.end()),
              (Lines{"SET?", "SMS?", sms3, "SMS?", sms3, "SMS?", "APN?", "EAD?", "ERS!"}));
    EXPECT_EQ(run.sleeps, (std::vector<int>{200, 200, 200, 200}));
    EXPECT_EQ(run.observer.only("append"), (Lines{"append: ,\r\nweryfikacja OK", "append: , log skasowany"}));
}

TEST(Verification, FailsAfterTheThirdResendWithTheLabelOfTheLastDifference) {
    sim::ConfigSimOptions config;
    config.shortEchoes = {{"SMS2", 10, 14}, {"XMS5", 10, 2}};
    SimWithConfig sim("Kavrel V3.6EL", config);
    SettingsImage image = sample();
    image.setText(Field::Sms, 2, "Alarm na linii 2");
    image.setText(Field::Xms, 5, "Poziom");
    WriteRun run;
    write(sim, image, {.resetCounters = true, .setClock = true}, run);
    EXPECT_EQ(run.result, ConfigResult::VerificationFailed);
    const auto verification = std::find(run.journal.begin(), run.journal.end(), "SET?");
    EXPECT_EQ(Lines(verification, run.journal.end()),
              (Lines{"SET?", "SMS?", "SMS2=Alarm na linii 2", "SMS?", "SMS2=Alarm na linii 2", "SMS?",
                     "SMS2=Alarm na linii 2", "SMS?"}))
        << "later blocks and the service actions do not run";
    EXPECT_EQ(run.observer.only("message"), Lines{"message[error]: Błąd weryfikacji (SMS2/15)"});
    EXPECT_EQ(run.observer.only("append"), Lines{"append: ,\r\nweryfikacja niepoprawna!"});
    EXPECT_EQ(run.sleeps.size(), 6u);
}

TEST(Verification, ExtendedTextsHaveTheirOwnPausesAndLabel) {
    sim::ConfigSimOptions config;
    config.shortEchoes = {{"XMS5", 10, 2}};
    SimWithConfig sim("Kavrel V2.5", config);
    SettingsImage image = sample();
    image.setText(Field::Xms, 5, "Poziom");
    WriteRun run;
    write(sim, image, {}, run);
    EXPECT_EQ(run.result, ConfigResult::VerificationFailed);
    EXPECT_EQ(run.observer.only("message"), Lines{"message[error]: Błąd weryfikacji (XMS5/3)"});
    EXPECT_EQ(run.sleeps, (std::vector<int>{100, 200, 100, 200, 100, 200}));
}

TEST(Verification, MissingAtimFailsUnlessTheWorkingValueIsZero) {
    sim::ConfigSimOptions config;
    config.omitAtim = true;
    for (const std::uint8_t atim : {30, 0}) {
        SimWithConfig sim("Kavrel V2.6", config);
        SettingsImage image = sample();
        image.setByte(Field::Atim, atim);
        WriteRun run;
        write(sim, image, {}, run);
        if (atim) {
            EXPECT_EQ(run.result, ConfigResult::VerificationFailed);
            EXPECT_EQ(run.observer.only("message"), Lines{"message[error]: Błąd weryfikacji (ATIM)"});
        } else {
            EXPECT_EQ(run.result, ConfigResult::Ok);
        }
    }
}

TEST(ServiceActions, BelowVersion20OnlyTheClockAndTheRestart) {
    SimWithConfig sim("Kavrel V1.9");
    WriteRun run;
    write(sim, sample(), {true, true, true, true}, run);
    EXPECT_EQ(run.result, ConfigResult::Ok);
    EXPECT_EQ(Lines(run.journal.end() - 2, run.journal.end()), (Lines{"TIME=26/03/05,07:08:09", "INIT!"}));
    EXPECT_EQ(sim.module->counterResets(), 0);
    EXPECT_EQ(run.observer.only("append"),
              (Lines{"append: ,\r\nweryfikacja OK", "append: ,zegar ustawiony", "append: ,\r\nrestart modułu."}));
}

TEST(ServiceActions, FromVersion20AllFourInOrder) {
    SimWithConfig sim("Kavrel V2.0");
    WriteRun run;
    write(sim, sample(), {true, true, true, true}, run);
    EXPECT_EQ(run.result, ConfigResult::Ok);
    EXPECT_EQ(Lines(run.journal.end() - 4, run.journal.end()), (Lines{"RCNT!", "ERS!", "TIME=26/03/05,07:08:09", "INIT!"}));
    EXPECT_EQ(run.observer.only("append"),
              (Lines{"append: ,\r\nweryfikacja OK", "append: ,liczniki wyzerowane", "append: , log skasowany",
                     "append: ,zegar ustawiony", "append: ,\r\nrestart modułu."}));
    EXPECT_EQ(sim.module->clock(), "26/03/05,07:08:09");
}

// The clock line is shared with the logger's; from 2100 on the year stays two digits wide.
TEST(ServiceActions, TheClockLineKeepsTwoYearDigitsInAnyCentury) {
    EXPECT_EQ(link::clockLine({2100, 1, 2, 3, 4, 5, 5}), "TIME=00/01/02,03:04:05");
}

TEST(ServiceActions, AnUnansweredActionStopsTheRest) {
    SimWithConfig sim("Kavrel V2.0", {}, {.silentCommands = {"ERS!"}});
    WriteRun run;
    write(sim, sample(), {true, true, true, true}, run, link::LinkVariant::monitor());
    EXPECT_NE(run.result, ConfigResult::Ok);
    EXPECT_EQ(run.observer.only("message"), Lines{"message[warning]: Brak odpowiedzi ERS"});
    EXPECT_EQ(run.observer.calls.back(), "status: Błąd kasowania logu");
    EXPECT_EQ(sim.module->restarts(), 0);
}

TEST(CommandLines, NumberFormatsAndTexts) {
    SettingsImage s;
    s.setWord(Field::Ulo, 2, static_cast<std::uint16_t>(-5));
    s.setWord(Field::Scla, 2, static_cast<std::uint16_t>(-5));
    s.setWord(Field::Sclb, 3, 32768);
    EXPECT_EQ(assignment(s, Field::Ulo, 2), "ULO2=65531");
    EXPECT_EQ(assignment(s, Field::Scla, 2), "SCLA2=-5");
    EXPECT_EQ(assignment(s, Field::Sclb, 3), "SCLB3=-32768");
    s.setText(Field::Url2, "ABCDEF");
    s.setByte(Field::Url2Ext, 0, 0x80);  // not a character from 0x01 to 0x7F: dropped with the second
    s.setByte(Field::Url2Ext, 1, 'H');
    EXPECT_EQ(url2Text(s, {0x36, true, false, 0}), "ABCDEF");
    s.setByte(Field::Url2Ext, 0, 'G');
    s.setByte(Field::Url2Ext, 1, 0xFF);
    EXPECT_EQ(url2Text(s, {0x36, true, false, 0}), "ABCDEFG");
    EXPECT_EQ(url2Text(s, {0x29, true, false, 0}), "ABCDEF");
    s.setText(Field::Sms, 1, "Alarm\rINIT!");  // must not become a second command line
    EXPECT_EQ(assignment(s, Field::Sms, 1), "SMS1=Alarm INIT!");
}

TEST(Verification, ValuesTheModuleDropsFailWithTheirLabels) {
    struct Case {
        const char* version;
        const char* dropped;
        const char* label;       // "" when the verification passes
        std::size_t resends;
    };
    const Case cases[] = {
        {"Kavrel V2.8C", "COPS", "", 0},          // no COPS comparison before variant D
        {"Kavrel V2.8D", "COPS", "(COPS)", 0},
        {"Kavrel V2.9", "COPS", "(COPS)", 0},
        {"Kavrel V3.6EL", "WKD2", "(WKD2)", 0},
        {"Kavrel V2.5", "XCFG3", "(XCFG3)", 3},   // re-sent three times, then given up
        {"Kavrel V2.6", "SCLB4", "(SCLB4)", 3},
        {"Kavrel V2.8", "XLO9", "(XLO9)", 0},     // compared, never re-sent
        {"Kavrel V2.7E", "NUM7", "(NUM7)", 0},
        {"Kavrel V3.6EL", "ICFG2", "(ICFG2)", 0},
    };
    for (const auto& c : cases) {
        sim::ConfigSimOptions config;
        config.droppedKeys = {c.dropped};
        SimWithConfig sim(c.version, config);
        SettingsImage image = sample();
        image.setWord(Field::Xlo9, 100);
        image.setPhoneNumber(7, "+48777");
        image.setWord(Field::Sclb, 4, 40);
        WriteRun run;
        write(sim, image, {.restart = true}, run);
        const auto resends = std::count_if(run.journal.begin(), run.journal.end(), [&](const std::string& line) {
            const std::string key = std::string(c.dropped) + "=";
            return line.rfind(key, 0) == 0 || line.find(" " + key) != std::string::npos;
        });
        if (*c.label) {
            EXPECT_EQ(run.result, ConfigResult::VerificationFailed) << c.version << " " << c.dropped;
            EXPECT_EQ(run.observer.only("message"), Lines{std::string("message[error]: Błąd weryfikacji ") + c.label})
                << c.version << " " << c.dropped;
            EXPECT_EQ(sim.module->restarts(), 0);
        } else {
            EXPECT_EQ(run.result, ConfigResult::Ok) << c.version << " " << c.dropped;
        }
        EXPECT_EQ(static_cast<std::size_t>(resends), 1 + c.resends) << c.version << " " << c.dropped;
    }
}

TEST(Verification, AnUnansweredReadBackEndsTheWriteWithItsTexts) {
    struct Case {
        const char* query;
        const char* box;
        const char* status;
    };
    const Case cases[] = {
        {"SET?", "Brak odpowiedzi z modułu Kavrel (SET?)", "Błąd odczytu ustawień modułu"},
        {"SMS?", "Brak odpowiedzi (SMS?)", "Błąd odczytu treści SMS"},
        {"XCFG?", "Brak odpowiedzi (XCFG?)", "Błąd odczytu XCFG"},
        {"ECFG?", "Brak odpowiedzi (ECFG?)", "Błąd odczytu ECFG?"},
    };
    for (const auto& c : cases) {
        SimWithConfig sim("Kavrel V3.6EL", {}, {.closeMidReply = {c.query}});
        WriteRun run;
        write(sim, sample(), {.setClock = true}, run);
        EXPECT_NE(run.result, ConfigResult::Ok) << c.query;
        EXPECT_EQ(run.observer.only("message"), Lines{std::string("message[warning]: ") + c.box}) << c.query;
        EXPECT_EQ(run.observer.calls.back(), std::string("status: ") + c.status) << c.query;
        EXPECT_TRUE(sim.module->clock().empty()) << c.query;
    }
}

// The window keeps the read-back copy between writes. A module whose answer to "SET?" holds
// no settings must not let the previous write's copy pass as its own read-back.
TEST(Verification, AReadBackOfNoiseIsNoAnswer) {
    sim::ConfigSimOptions config;
    config.junkQueries = {"SET?"};
    SimWithConfig sim("Kavrel V3.6EL", config);
    const SettingsImage image = sample();
    SettingsImage readBack = image;  // what an earlier verified write left
    link::ModuleLink moduleLink;
    sim.fixture.useTcp(moduleLink);
    RecordingObserver observer;
    EXPECT_NE(writeSettings(moduleLink, image, readBack, {}, observer, {kClock}), ConfigResult::Ok);
    EXPECT_EQ(observer.only("message"), Lines{"message[warning]: Brak odpowiedzi z modułu Kavrel (SET?)"});
    EXPECT_EQ(observer.only("status").back(), "status: Błąd odczytu ustawień modułu");
}

// About 100 bytes a second (a GPRS link in a poor cell): the 412 bytes of the "SET?" reply
// take over 4 s, longer than the first reply limit. The write's verification and a read
// wait for every reply whole: the write is verified, and the read brings back what was
// written, the keys at the end of the long reply too.
TEST(Verification, AVerySlowLinkIsWaitedForToTheEndOfEveryReply) {
    SimWithConfig sim("Kavrel V3.6EL", {}, {.splitBytes = 1, .splitDelayMs = 10});
    link::ModuleLink moduleLink;
    sim.fixture.useTcp(moduleLink);
    SettingsImage image = sample();   // ATIM at the end of the "SET?" reply: missing when the reply is cut
    SettingsImage readBack;
    RecordingObserver observer;
    EXPECT_EQ(writeSettings(moduleLink, image, readBack, {}, observer, {kClock}), ConfigResult::Ok);
    EXPECT_TRUE(observer.only("message").empty()) << joined(observer.only("message"));
    EXPECT_EQ(observer.only("append"), Lines{"append: ,\r\nweryfikacja OK"});

    RecordingObserver readObserver;
    SettingsImage read;
    ASSERT_EQ(readSettings(moduleLink, read, readObserver), ConfigResult::Ok);
    EXPECT_EQ(read.byte(Field::Atim), 30);
    EXPECT_EQ(read.byte(Field::Wkd, 3), 96);
    EXPECT_EQ(read.text(Field::Sms, 3), W("Alarm L3 – próg"));   // the reply after the long one is its own
}
