// The simulated module's own configuration: how it splits assignment lines, what each
// version knows and reports. The configurator's tests trust these answers, so the module
// side is checked on its own.
#include <gtest/gtest.h>

#include "sim/module_configuration.h"

using kavrel::sim::ConfigSimOptions;
using kavrel::sim::ModuleConfiguration;
using Outcome = ModuleConfiguration::Outcome;

TEST(SimConfiguration, SplitsAssignmentsAtKnownKeysOnly) {
    ModuleConfiguration module;
    module.reset("Kavrel V2.0", {});
    EXPECT_EQ(module.apply("PIN=12 34 NUM0=+48 600 NUM1="), Outcome::Accepted);
    EXPECT_EQ(module.value("PIN"), "12 34");
    EXPECT_EQ(module.value("NUM0"), "+48 600");
    EXPECT_EQ(module.value("NUM1"), "");
    EXPECT_EQ(module.apply("SMS2=Ustaw TRPT=5 teraz"), Outcome::Accepted);
    EXPECT_EQ(module.value("SMS2"), "Ustaw TRPT=5 teraz");
    EXPECT_EQ(module.value("TRPT"), "60");
    EXPECT_EQ(module.apply("ULO1=-5 SCFG1=3"), Outcome::Accepted);
    EXPECT_EQ(module.value("ULO1"), "65531");
    EXPECT_EQ(module.apply("RPTHR=001,128,000"), Outcome::Accepted);
    EXPECT_EQ(module.value("RPTHR"), "1,128,0");
}

TEST(SimConfiguration, RefusesWhatTheVersionDoesNotKnow) {
    ModuleConfiguration module;
    module.reset("Kavrel V2.0", {});
    EXPECT_EQ(module.apply("ATIM=5"), Outcome::NotConfiguration);
    EXPECT_EQ(module.apply("APN3=x"), Outcome::NotConfiguration) << "needs the E flag";
    EXPECT_EQ(module.apply("APN2=x"), Outcome::Accepted);
    EXPECT_EQ(module.apply("ULO1=abc"), Outcome::NotConfiguration);
    EXPECT_EQ(module.apply("ICFG9=1"), Outcome::NotConfiguration);
    EXPECT_EQ(module.apply("TIME=26/3/5,7:08:09"), Outcome::NotConfiguration);
    EXPECT_EQ(module.apply("LOGT=5 TIME=26/03/05,07:08:09"), Outcome::NotConfiguration) << "another command set's line";
    EXPECT_EQ(module.apply("MSR?"), Outcome::NotConfiguration);
    EXPECT_FALSE(module.reply("XCFG?=1").has_value());
}

TEST(SimConfiguration, ReportsInTheShapesOfItsVersion) {
    ModuleConfiguration old;
    old.reset("Kavrel V1.9", {});
    const std::string set19 = *old.reply("SET?");
    EXPECT_NE(set19.find("\rRCFG=01,\r"), std::string::npos);
    EXPECT_NE(set19.find("\rICFGx=7,0,0,0,0,0,0,0\r"), std::string::npos);
    EXPECT_EQ(set19.find("ATIM"), std::string::npos);
    EXPECT_EQ(set19.substr(set19.size() - 4), "\rOK\r");

    ConfigSimOptions faults;
    faults.omitAtim = true;
    faults.shortEchoes = {{"SMS1", 1, 3}};
    ModuleConfiguration recent;
    recent.reset("Kavrel V3.6EL", faults);
    const std::string set36 = *recent.reply("SET?");
    EXPECT_NE(set36.find("\rRCFG=01,00,00,\rCLIP=01,00,\rCTRL=129,00,\r"), std::string::npos);
    EXPECT_EQ(set36.find("ATIM"), std::string::npos);
    EXPECT_NE(recent.reply("SMS?")->find("\rSMS1=Ala\r"), std::string::npos);
    EXPECT_NE(recent.reply("SMS?")->find("\rSMS1=Alarm L1\r"), std::string::npos) << "only the next read is short";
    EXPECT_NE(recent.reply("ECFG?")->find("\rWKDx=127,127,127\r"), std::string::npos);
    EXPECT_EQ(recent.journal(), (std::vector<std::string>{"SET?", "SMS?", "SMS?", "ECFG?"}));
}
