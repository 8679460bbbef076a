#ifndef ZCHANNELGROUP_H
#define ZCHANNELGROUP_H

#include <QGroupBox>
#include <QScrollArea>
#include <QString>
#include <QVBoxLayout>

#include <vector>

// Gives a box page its scrolling content and returns the layout its groups go into: a
// page taller than the window scrolls instead of squeezing its rows.
inline QVBoxLayout *createScrolledContent(QScrollArea *page)
{
    auto *content = new QWidget(page);
    auto *layout = new QVBoxLayout(content);
    layout->setSpacing(20);
    layout->setContentsMargins(10, 10, 10, 10);
    page->setWidget(content);
    page->setWidgetResizable(true);
    return layout;
}

// Adds to `content` a group box with one `Row` panel per channel, each attached to its
// channel, titled with `titlePattern` and the channel count. An empty list adds nothing,
// so no page shows a "(0)" group.
template<class Row, class Channel>
QGroupBox *addChannelGroup(QVBoxLayout *content, QWidget *parent, const QString &titlePattern,
                           const std::vector<Channel *> &channels, int spacing)
{
    if (channels.empty())
        return nullptr;
    auto *group = new QGroupBox(parent);
    content->addWidget(group);
    auto *layout = new QVBoxLayout(group);
    layout->setSpacing(spacing);
    layout->setContentsMargins(10, 10, 10, 10);
    for (Channel *channel : channels) {
        auto *row = new Row(group);
        row->attach(channel);
        layout->addWidget(row);
    }
    group->setTitle(titlePattern.arg(channels.size()));
    return group;
}

#endif // ZCHANNELGROUP_H
