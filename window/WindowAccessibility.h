#pragma once
// What assistive technologies (screen readers over AT-SPI) learn of the windows beyond what
// Qt's own widgets tell them.

#include <QString>

class QWidget;

// Makes the program's top-level windows frames named by their captions, and the chart boxes
// images; idempotent.
void InstallWindowAccessibility();

// Sets the accessible name and description a widget is announced by, and tells assistive
// technologies of each one that changed.
void SetAccessibleTexts(QWidget& widget, const QString& name, const QString& description);
