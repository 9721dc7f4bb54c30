// Controls carry the name of the record field they edit ("ULO3", "APN0", "XMS17"); a box
// that stands for one bit of a field carries the field's name and the bit ("SEML3_0" for bit
// 0 of SEML3), and a group of choices that sets several bits the first and the last of them
// ("SLOG_5-6"). Tests and tools find every control the way the protocol names its field.
#pragma once

#include <QObject>
#include <QString>

#include "config/model/field_table.h"

namespace kavrel::config::ui {

// A field of one element keeps its own number whatever `number` says: RCFG value 2 is
// "RCFG(2)", as the protocol writes it.
inline QString fieldControlName(Field field, int number = 0) {
    const FieldInfo& info = fieldInfo(field);
    return QString::fromStdString(fieldName(info, info.count == 1 ? info.first : number));
}

inline QString bitControlName(Field field, int number, int bit) {
    return fieldControlName(field, number) + QLatin1Char('_') + QString::number(bit);
}

inline QString bitsControlName(Field field, int number, int firstBit, int lastBit) {
    return bitControlName(field, number, firstBit) + QLatin1Char('-') + QString::number(lastBit);
}

inline void nameAfterField(QObject* control, Field field, int number = 0) {
    control->setObjectName(fieldControlName(field, number));
}

inline void nameAfterBit(QObject* control, Field field, int number, int bit) {
    control->setObjectName(bitControlName(field, number, bit));
}

inline void nameAfterBits(QObject* control, Field field, int number, int firstBit, int lastBit) {
    control->setObjectName(bitsControlName(field, number, firstBit, lastBit));
}

} // namespace kavrel::config::ui
