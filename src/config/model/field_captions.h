// What the user calls each field of the settings record: the settings window that edits
// it and the caption of its control there ("Ustawienia ogólne: Numer 3"). The lists of
// changes before a write and between two settings files show these captions beside the
// protocol keys, so that an installer recognises the field without knowing its KEY.
#pragma once

#include <string>

#include "config/model/field_table.h"

namespace kavrel::config {

// UTF-8 caption of one element; numbered fields take the element's number. Reserved bytes
// have a caption too, so that a list of differing bytes can name them.
std::string fieldCaption(const FieldInfo& info, int number);

} // namespace kavrel::config
