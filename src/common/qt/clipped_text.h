// Finds the texts a window cuts off: a label, button or group title narrower than its text,
// a wrapped label shorter than its lines, a header section narrower than its caption. The
// screenshot programs check every window with it at each display scaling.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kavrel {

// One line per clipped text: "QPushButton ok \"Wyślij do modułu\": 96 px z 118".
QStringList clippedTexts(const QWidget& window);

} // namespace kavrel
