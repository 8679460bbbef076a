#ifndef ZPANELKIT_H
#define ZPANELKIT_H

#include <QString>

class QBoxLayout;
class QLabel;
class QLayout;
class QWidget;

// Small pieces every configuration panel is built from.

// A plain label added to `layout`.
QLabel *addLabel(QBoxLayout *layout, const QString &text, QWidget *parent);

// Removes every item of `layout` and deletes it together with its widget or sub-layout.
void clearLayout(QLayout *layout);

// Parses user input as a number with a point as decimal separator; false for text that
// is no number at all, and for not-a-number, which no setter accepts.
bool parseNumber(const QString &text, double *value);

// The rich-text channel label: `pattern` holds %1 for the 1-based channel number, and
// two non-breaking spaces keep one-digit numbers as wide as two-digit ones.
QString channelLabelText(const QString &pattern, int channelNumber);

#endif // ZPANELKIT_H
