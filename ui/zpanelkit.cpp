#include "ui/zpanelkit.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLayout>

#include <cmath>

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
