// What `kavrel fleet config apply` and `drift` both take: the template, its field list, the
// per-module values and the fleet file, each checked before any module is contacted.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "config/model/config_template.h"
#include "fleet/fleet_list.h"

namespace kavrel::cli {

struct TemplateInputs {
    std::string templatePath;
    std::string fieldsArgument;   // "KEY,KEY" or a file of keys; "" for none
    std::string valuesPath;
    std::string hostsPath;

    config::SettingsImage templ;
    config::FieldSelection fields;
    std::map<std::string, std::vector<config::ModuleValue>> values;
    std::vector<fleet::FleetModule> modules;
};

// Loads and checks every input; false after saying why on stderr (`command` begins the
// message). Without a field list, `allFields` takes every field a template may give, else
// the list is required. Without a hosts path, no fleet file is read.
bool loadTemplateInputs(CliContext& context, const std::string& command, TemplateInputs& inputs, bool allFields);

// The field list as keys, comma-separated (the run's state keeps it).
std::string fieldKeys(const config::FieldSelection& fields);

} // namespace kavrel::cli
