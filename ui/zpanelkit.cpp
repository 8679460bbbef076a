#include "ui/zpanelkit.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QStyle>

#include <cmath>

namespace {

// The longest text the fields commonly hold: a rate or a voltage with six decimals.
const char *const WidestCommonText = "0.000000";
// QLineEdit's own margin between its frame and its text, on each side.
constexpr int LineEditTextMargin = 2;
constexpr qreal SmallestPointSize = 6.0;
constexpr qreal PointSizeStep = 0.5;

int textRoom(const QLineEdit *field)
{
    const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
    // One pixel more for the text cursor.
    return field->width() - 2 * (frame + LineEditTextMargin) - 1;
}

void fitFont(QLineEdit *field)
{
    QFont font = field->font();
    if (font.pointSizeF() <= 0)
        return;
    const QString sample = QString::fromLatin1(WidestCommonText);
    while (QFontMetrics(font).horizontalAdvance(sample) > textRoom(field)
           && font.pointSizeF() - PointSizeStep >= SmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - PointSizeStep);
    if (font != field->font())
        field->setFont(font);
}

} // namespace

QLineEdit *createField(QWidget *parent, int width)
{
    auto *field = new QLineEdit(parent);
    field->setFixedSize(width, FieldHeight);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fitFont(field);
    return field;
}

void setFieldText(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->setCursorPosition(0);
}

void setFieldReadOnly(QLineEdit *field, bool readOnly)
{
    field->setReadOnly(readOnly);
    QPalette palette = field->palette();
    const QPalette normal = QApplication::palette(field);
    palette.setBrush(QPalette::Base, readOnly ? normal.window() : normal.base());
    field->setPalette(palette);
}

QLabel *addLabel(QBoxLayout *layout, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    layout->addWidget(label);
    return label;
}

void clearLayout(QLayout *layout)
{
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        delete item->widget();
        if (QLayout *inner = item->layout())
            clearLayout(inner);
        delete item;
    }
}

bool parseNumber(const QString &text, double *value)
{
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok);
    if (!ok || std::isnan(parsed))
        return false;
    *value = parsed;
    return true;
}

QString channelLabelText(const QString &pattern, int channelNumber)
{
    QString text = pattern.arg(channelNumber);
    if (channelNumber < 10)
        text += QStringLiteral("&nbsp;&nbsp;");
    return text;
}
