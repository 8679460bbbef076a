#ifndef UITESTUTIL_H
#define UITESTUTIL_H

#include "model/zanalogin.h"
#include "model/zanalogout.h"
#include "model/zdigitin.h"
#include "model/zdigitout.h"
#include "model/zedgecnt.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

// A free channel of the kind, unattached to any box.
inline std::unique_ptr<ZComponent> makeChannel(int kind, int number)
{
    const int id = componentId(ZComponentKind(kind), number);
    if (kind == AnalogInKind)
        return std::make_unique<ZAnalogIn>(id);
    if (kind == DigitInKind)
        return std::make_unique<ZDigitIn>(id);
    if (kind == EdgeCntKind)
        return std::make_unique<ZEdgeCnt>(id);
    if (kind == AnalogOutKind)
        return std::make_unique<ZAnalogOut>(nullptr, id);
    return std::make_unique<ZDigitOut>(nullptr, id);
}

inline std::unique_ptr<ZInChannel> makeInChannel(int kind, int number)
{
    return std::unique_ptr<ZInChannel>(
        static_cast<ZInChannel *>(makeChannel(kind, number).release()));
}

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
