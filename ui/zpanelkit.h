#ifndef ZPANELKIT_H
#define ZPANELKIT_H

#include <QString>

class QBoxLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QWidget;

// Small pieces every configuration panel is built from.

// Value fields share one size so that the rows line up in columns.
constexpr int ValueFieldWidth = 80;
constexpr int WideFieldWidth = 150;
constexpr int FieldHeight = 20;

// A line edit of fixed size, its text right-aligned and vertically centred. Where the
// system font is too large for eight characters to fit in the field, the field's font is
// made smaller until they do.
QLineEdit *createField(QWidget *parent, int width = ValueFieldWidth);

// Shows `text` from its first character: a text too long for the field loses its last
// digits, never its first ones.
void setFieldText(QLineEdit *field, const QString &text);

// Locks or unlocks a field. A locked field takes the window's background, so a user sees
// it cannot be typed into (the read-only flag alone does not change its look).
void setFieldReadOnly(QLineEdit *field, bool readOnly);

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
