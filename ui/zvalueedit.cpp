#include "ui/zvalueedit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

namespace {

// The longest text the fields commonly hold: a negative voltage with six decimals.
const char *const WidestCommonText = "-0.000000";
// QLineEdit's own margin between its frame and its text, on each side.
constexpr int LineEditTextMargin = 2;
constexpr qreal SmallestPointSize = 6.0;
constexpr qreal PointSizeStep = 0.5;

} // namespace

ZValueEdit::ZValueEdit(QWidget *parent, int width)
    : QLineEdit(parent)
{
    setFixedSize(width, FieldHeight);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fitFont();
}

void ZValueEdit::showValue(const QString &text)
{
    m_shown = text;
    setText(text);
    setCursorPosition(0);
}

bool ZValueEdit::hasNewInput() const
{
    return isModified() && text().trimmed() != m_shown;
}

void ZValueEdit::setLocked(bool locked)
{
    setReadOnly(locked);
    QPalette colours = palette();
    const QPalette normal = QApplication::palette(this);
    colours.setBrush(QPalette::Base, locked ? normal.window() : normal.base());
    setPalette(colours);
}

void ZValueEdit::fitFont()
{
    QFont smaller = font();
    if (smaller.pointSizeF() <= 0)
        return;
    const QString sample = QString::fromLatin1(WidestCommonText);
    while (QFontMetrics(smaller).horizontalAdvance(sample) > textRoom()
           && smaller.pointSizeF() - PointSizeStep >= SmallestPointSize)
        smaller.setPointSizeF(smaller.pointSizeF() - PointSizeStep);
    if (smaller != font())
        setFont(smaller);
}

int ZValueEdit::textRoom() const
{
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    // One pixel more for the text cursor.
    return width() - 2 * (frame + LineEditTextMargin) - 1;
}
