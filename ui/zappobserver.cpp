#include "ui/zappobserver.h"

#include "device/zrealbox.h"
#include "ui/zappcfgr.h"
#include "ui/zboxobserver.h"
#include "ui/zpanelkit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int TreeMaxWidth = 140;
constexpr int TreeTextMargin = 6;

int itemId(const QTreeWidgetItem *item)
{
    return item ? int(item->data(0, Qt::UserRole).toUInt()) : -1;
}

} // namespace

ZAppObserver::ZAppObserver(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setSpacing(10);
}

ZAppObserver::~ZAppObserver()
{
    detach(subject());
}

bool ZAppObserver::onAttached()
{
    auto *settings = new ZAppCfgr(this);
    settings->attach(subject());
    m_layout->addWidget(settings);

    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    m_layout->addLayout(row);

    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(1);
    m_tree->header()->hide();
    m_tree->setMaximumWidth(TreeMaxWidth);
    auto *root = new QTreeWidgetItem(m_tree, QStringList { tr("Quoravi") });
    root->setData(0, Qt::UserRole, uint(RootId));
    m_tree->setCurrentItem(root);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &ZAppObserver::treeItemChanged);
    row->addWidget(m_tree);

    m_pages = new QStackedWidget(this);
    row->addWidget(m_pages);

    const std::vector<ZBox *> &boxes = subject()->boxes();
    if (!boxes.empty())
        rebuild(boxes.front());
    return true;
}

bool ZAppObserver::onDetached()
{
    delete m_tree;
    m_tree = nullptr;
    delete m_pages;
    m_pages = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZAppObserver::update(int code)
{
    const std::vector<ZBox *> &boxes = subject()->boxes();
    switch (code) {
    case PlaybackBoxAdded:
        rebuild(boxes.back());
        return true;
    case RealBoxAdded:
    case BoxRemoved:
        if (boxes.empty())
            clearBoxes();
        else
            rebuild(boxes.front());
        return true;
    default:
        return false;
    }
}

void ZAppObserver::treeItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    Q_UNUSED(previous);
    const int id = itemId(current);
    for (int i = 0; i < m_pages->count(); ++i) {
        const auto *page = static_cast<ZBoxObserver *>(m_pages->widget(i));
        if (page->subject() && page->subject()->id() == id) {
            m_pages->setCurrentIndex(i);
            return;
        }
    }
    // The root, or an item whose box has no page: the first page.
    if (m_pages->count() > 0)
        m_pages->setCurrentIndex(0);
}

void ZAppObserver::rebuild(const ZBox *selected)
{
    rebuildPages(selected->id());
    rebuildTree(selected->id());
}

void ZAppObserver::rebuildPages(int selectedId)
{
    while (QWidget *page = m_pages->widget(0)) {
        m_pages->removeWidget(page);
        delete page;
    }
    for (ZBox *box : subject()->boxes()) {
        auto *page = new ZBoxObserver(this);
        page->attach(box);
        m_pages->addWidget(page);
        if (box->id() == selectedId)
            m_pages->setCurrentWidget(page);
    }
}

void ZAppObserver::rebuildTree(int selectedId)
{
    QTreeWidgetItem *root = m_tree->topLevelItem(0);
    qDeleteAll(root->takeChildren());
    const std::vector<ZBox *> &boxes = subject()->boxes();
    if (boxes.empty())
        return;
    root->setExpanded(true);

    QTreeWidgetItem *selected = nullptr;
    const auto remember = [&](QTreeWidgetItem *item, const ZBox *box) {
        if (box->id() == selectedId)
            selected = item;
    };
    std::size_t firstPlayback = 0;
    if (const ZBox *active = subject()->activeBox()) {
        remember(addBoxItem(tr("Active Device"), active), active);
        firstPlayback = 1;
    }
    for (std::size_t i = firstPlayback; i < boxes.size(); ++i) {
        const int number = int(i - firstPlayback + 1);
        remember(addBoxItem(tr("Playback %1").arg(number), boxes[i]), boxes[i]);
    }
    if (selected)
        m_tree->setCurrentItem(selected);
    fitTreeWidth();
}

// The tree stays narrow, but never so narrow that it cuts its items' names short (fonts
// differ between systems).
void ZAppObserver::fitTreeWidth()
{
    const QAbstractItemView *view = m_tree;
    const int needed = view->sizeHintForColumn(0) + 2 * m_tree->frameWidth() + TreeTextMargin;
    m_tree->setMaximumWidth(qMax(TreeMaxWidth, needed));
}

void ZAppObserver::clearBoxes()
{
    qDeleteAll(m_tree->topLevelItem(0)->takeChildren());
    while (QWidget *page = m_pages->widget(0)) {
        m_pages->removeWidget(page);
        delete page;
    }
}

QTreeWidgetItem *ZAppObserver::addBoxItem(const QString &text, const ZBox *box)
{
    auto *item = new QTreeWidgetItem(m_tree->topLevelItem(0), QStringList { text });
    item->setData(0, Qt::UserRole, uint(box->id()));
    return item;
}
