#ifndef ZVALUEEDIT_H
#define ZVALUEEDIT_H

#include <QLineEdit>

constexpr int ValueFieldWidth = 80;
constexpr int WideFieldWidth = 150;
constexpr int FieldHeight = 20;

// The panels' value field: fixed size, text right-aligned and vertically centred.
//
// It remembers the text its panel last showed, so that a panel can tell real input from
// a field merely entered and left (or a locked one): feeding the shown, rounded text
// back would move the value in force by the rounding.
class ZValueEdit : public QLineEdit
{
public:
    // Where the system font is too large for eight characters to fit, the field takes a
    // smaller one.
    explicit ZValueEdit(QWidget *parent, int width = ValueFieldWidth);

    // Shows the text from its first character: a text too long for the field loses its
    // last digits, never its first ones.
    void showValue(const QString &text);
    // Whether the user typed something other than what was last shown.
    bool hasNewInput() const;

    // A locked field takes the window's background, so a user sees it cannot be typed
    // into (the read-only flag alone does not change its look).
    void setLocked(bool locked);

private:
    void fitFont();
    int textRoom() const;

    QString m_shown;
};

#endif // ZVALUEEDIT_H
