#include "ui/zvaluefield.h"

#include <QLineEdit>

QLineEdit *createValueField(QWidget *parent, bool readOnly)
{
    auto *field = new QLineEdit(parent);
    field->setFixedSize(80, 20);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setReadOnly(readOnly);
    return field;
}
