// A configuration template for many modules: a settings file whose chosen fields are given
// to every module, each module keeping its own value of every other field, and per-module
// values of template fields (a phone number per site) from a CSV file.
//
// Fields are named as "kavrel config dump" names them ("APN0", "NUM3", "RCFG(2)"); a
// numbered family's stem ("NUM", "ICFG") stands for all its elements. The field list is
// "KEY,KEY,..." or a file of keys (one or more a line, separated by commas or spaces; "#"
// begins a comment). The values file holds "NAME;KEY;VALUE" lines (UTF-8; a first line
// "NAME;KEY;VALUE" or "nazwa;klucz;wartość" is a header); a value is a text, or a decimal
// number for a numeric field.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "config/model/settings_image.h"

namespace kavrel::config {

struct ElementRef {
    const FieldInfo* info = nullptr;
    int number = 0;
    std::string key;   // fieldName(info, number)
    bool operator==(const ElementRef& other) const { return info == other.info && number == other.number; }
};

// The elements a template gives, in record order, without repeats.
struct FieldSelection {
    std::vector<ElementRef> elements;
    bool includes(const FieldInfo& info, int number) const;
};

// A parse either succeeds or names the first problem ("FILE:LINE: ..."), in Polish (UTF-8).
struct FieldListParse {
    FieldSelection selection;
    std::string error;
};
// `source` names the text in errors ("--fields", a file name). Reserved bytes and fields the
// module changes by itself cannot be chosen; an empty list is refused.
FieldListParse parseFieldList(std::string_view text, const std::string& source);

// The element a key names, or none (info == nullptr) for an unknown or reserved key.
ElementRef elementByKey(std::string_view key);

struct ModuleValue {
    ElementRef element;
    std::string value;    // UTF-8, as in the file
};
struct ValuesParse {
    std::map<std::string, std::vector<ModuleValue>> byModule;   // module name -> its values
    std::string error;
};
// Every key must be in `selection` (a value outside the template would change a field the
// template leaves alone) and every value must fit its field; a module named twice for the
// same key is refused.
ValuesParse parseModuleValues(std::string_view text, const FieldSelection& selection, const std::string& source);

// Puts a value into the record; "" when it fitted, else why not (UTF-8).
std::string putElementValue(SettingsImage& image, const ElementRef& element, const std::string& value);

// What a module is to hold: its own record with the template's elements and its values.
SettingsImage templateTarget(const SettingsImage& module, const SettingsImage& templ, const FieldSelection& selection,
                             const std::vector<ModuleValue>& values);

} // namespace kavrel::config
