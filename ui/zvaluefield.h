#ifndef ZVALUEFIELD_H
#define ZVALUEFIELD_H

class QLineEdit;
class QWidget;

// The panels' value field: 80 x 20 pixels, right aligned and vertically centred.
QLineEdit *createValueField(QWidget *parent, bool readOnly);

#endif // ZVALUEFIELD_H
