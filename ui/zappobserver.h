#ifndef ZAPPOBSERVER_H
#define ZAPPOBSERVER_H

#include "app/zappobservable.h"

#include <QWidget>

class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
class ZBox;
class ZBoxObserver;

// The window's central area: the overall settings above, and below them a tree of the
// boxes ("Active Device", "Playback 1", ...) beside a stack of box pages. Selecting a
// tree item shows that box's page. Tree and pages are rebuilt whenever a box comes or
// goes.
class ZAppObserver : public QWidget, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    // The identifier the root item carries: the application model's own.
    static constexpr int RootId = AppObservableId;

    explicit ZAppObserver(QWidget *parent = nullptr);
    ~ZAppObserver() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QTreeWidget *tree() const { return m_tree; }
    QStackedWidget *pages() const { return m_pages; }

private slots:
    void treeItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);

private:
    void rebuild(const ZBox *selected);
    void rebuildPages(int selectedId);
    void rebuildTree(int selectedId);
    void clearBoxes();
    void fitTreeWidth();
    QTreeWidgetItem *addBoxItem(const QString &text, const ZBox *box);

    QVBoxLayout *m_layout;
    QTreeWidget *m_tree = nullptr;
    QStackedWidget *m_pages = nullptr;
};

#endif // ZAPPOBSERVER_H
