#ifndef UITESTUTIL_H
#define UITESTUTIL_H

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QWidget>

// What a user does to a field: types the text over what it shows, then leaves it. A
// locked field takes none of the keys.
inline void typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    QTest::keyClicks(field, text);
    emit field->editingFinished();
}

// Enters a field and leaves it without typing.
inline void passThrough(QLineEdit *field)
{
    emit field->editingFinished();
}

inline QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// The texts of every label below `parent`, in creation order.
inline QStringList labelTexts(const QWidget *parent)
{
    QStringList texts;
    for (const QLabel *label : parent->findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

// Whether a user could change the field or combo now.
inline bool isEditable(const QWidget *widget)
{
    if (!widget->isEnabled())
        return false;
    const auto *field = qobject_cast<const QLineEdit *>(widget);
    return !field || !field->isReadOnly();
}

#endif // UITESTUTIL_H
