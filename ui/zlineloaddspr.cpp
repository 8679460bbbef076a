#include "ui/zlineloaddspr.h"

#include "device/zlinecapacity.h"
#include "device/zrealbox.h"

#include <QApplication>
#include <QPalette>

#include <cmath>
#include <functional>

namespace {

const QColor WarningColor(0xC0, 0x20, 0x00);

// Kilobytes per second with one decimal; loads below one kilobyte keep two, so a small
// load does not read as none.
QString kiloBytes(double bytesPerSecond)
{
    const double kB = bytesPerSecond / 1000.0;
    return QString::number(kB, 'f', kB < 1.0 ? 2 : 1);
}

} // namespace

// Calls back when an input's selection or rate changes. Both come from the GUI thread;
// the samples announced from the communication thread are ignored.
class ZLineLoadDspr::ChannelWatch : public ZObserver<ZComponent>
{
public:
    explicit ChannelWatch(std::function<void()> changed)
        : m_changed(std::move(changed))
    { }
    ~ChannelWatch() override { detach(subject()); }

    bool update(int code) override
    {
        if (code != IntervalChanged && code != SelectedChanged)
            return false;
        m_changed();
        return true;
    }

private:
    std::function<void()> m_changed;
};

ZLineLoadDspr::ZLineLoadDspr(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

ZLineLoadDspr::~ZLineLoadDspr()
{
    detach(subject());
}

bool ZLineLoadDspr::onAttached()
{
    followActiveBox();
    return true;
}

bool ZLineLoadDspr::onDetached()
{
    m_watches.clear();
    clear();
    return true;
}

bool ZLineLoadDspr::update(int code)
{
    switch (code) {
    case ActiveBoxChanged:
        followActiveBox();
        return true;
    case BoxTypeChanged:
        refresh();
        return true;
    default:
        return false;
    }
}

QString ZLineLoadDspr::loadText(const ZLineLoad &load)
{
    QString text
        = tr("Line: %1 of %2 kB/s")
              .arg(kiloBytes(load.demandBytesPerSecond), kiloBytes(load.capacityBytesPerSecond));
    if (load.isOverCapacity())
        text += tr(", about %1 records/s")
                    .arg(std::floor(load.reachableRecordsPerSecond), 0, 'f', 0);
    return text;
}

void ZLineLoadDspr::followActiveBox()
{
    m_watches.clear();
    if (ZRealBox *box = subject()->activeBox()) {
        const auto watch = [this](ZInChannel *channel) {
            m_watches.push_back(std::make_unique<ChannelWatch>([this] { refresh(); }));
            m_watches.back()->attach(channel);
        };
        for (ZInChannel *channel : box->analogIns())
            watch(channel);
        for (ZInChannel *channel : box->digitIns())
            watch(channel);
        for (ZInChannel *channel : box->edgeCnts())
            watch(channel);
    }
    refresh();
}

void ZLineLoadDspr::refresh()
{
    const ZRealBox *box = subject() ? subject()->activeBox() : nullptr;
    if (!box) {
        clear();
        setToolTip(QString());
        showWarning(false);
        hide();
        return;
    }
    const ZLineLoad load = lineLoad(*box);
    setText(loadText(load));
    setToolTip(tr("%1 records/s of %2 bytes each over a line of %3 bytes/s")
                   .arg(load.requestsPerSecond, 0, 'g', 6)
                   .arg(load.bytesPerRecord)
                   .arg(load.capacityBytesPerSecond, 0, 'f', 0));
    showWarning(load.isOverCapacity());
    show();
}

void ZLineLoadDspr::showWarning(bool warning)
{
    m_warning = warning;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText,
                     warning ? WarningColor
                             : QApplication::palette(this).color(QPalette::WindowText));
    setPalette(colours);
}
