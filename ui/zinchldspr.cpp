#include "ui/zinchldspr.h"

#include "model/zanalogin.h"
#include "ui/zcoefscfgr.h"
#include "ui/zgraphdspr.h"
#include "ui/zlastdspr.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ZInChlDspr::ZInChlDspr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZInChlDspr::~ZInChlDspr()
{
    detach(subject());
}

QString ZInChlDspr::channelLabel(int componentId)
{
    QString text;
    switch (componentId >> 8) {
    case AnalogInKind:
        text = tr("<b>AICH %1</b>");
        break;
    case DigitInKind:
        text = tr("<b>DICH %1\t</b>");
        break;
    case EdgeCntKind:
        text = tr("<b>CNTR %1\t</b>");
        break;
    default:
        return QString();
    }
    const int number = channelOf(componentId) + 1;
    text = text.arg(number);
    if (number <= 9)
        text += QStringLiteral("&nbsp;&nbsp;");
    return text;
}

bool ZInChlDspr::onAttached()
{
    auto *channel = dynamic_cast<ZInChannel *>(subject());
    const QString label = channel ? channelLabel(channel->id()) : QString();
    if (label.isEmpty())
        return false;

    auto *row = new QHBoxLayout();
    row->setSpacing(20);
    row->setContentsMargins(0, 0, 0, 0);
    m_layout->addLayout(row);
    row->addWidget(new QLabel(label, this));
    ZLastDspr *strip = createLastDspr(channel, nullptr);
    row->addWidget(strip);

    if (dynamic_cast<ZAnalogIn *>(channel)) {
        auto *coefs = new ZCoefsCfgr(this);
        coefs->attach(channel);
        m_layout->addWidget(coefs);
    }

    ZGraphDspr *graph = createGraphDspr(channel, this);
    m_layout->addWidget(graph);
    connect(strip, &ZLastDspr::printPressed, graph, &ZGraphDspr::printGraph);
    return true;
}

bool ZInChlDspr::onDetached()
{
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        if (QLayout *row = item->layout()) {
            while (QLayoutItem *rowItem = row->takeAt(0)) {
                delete rowItem->widget();
                delete rowItem;
            }
        }
        delete item->widget();
        delete item;
    }
    return true;
}
