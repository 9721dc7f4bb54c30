// Controls carry the name of the record field they edit ("ULO3", "APN0", "XMS17"), so that
// tests and tools find them the way the protocol names them.
#pragma once

#include <QString>
#include <QWidget>

#include "config/model/field_table.h"

namespace kavrel::config::ui {

inline void nameAfterField(QWidget* control, Field field, int number = 0) {
    control->setObjectName(QString::fromStdString(fieldName(fieldInfo(field), number)));
}

} // namespace kavrel::config::ui
