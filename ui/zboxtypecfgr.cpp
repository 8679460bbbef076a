#include "ui/zboxtypecfgr.h"

#include "app/zdevicetypes.h"
#include "ui/zpanelkit.h"

#include <QComboBox>
#include <QHBoxLayout>

ZBoxTypeCfgr::ZBoxTypeCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZBoxTypeCfgr::~ZBoxTypeCfgr()
{
    detach(subject());
}

bool ZBoxTypeCfgr::onAttached()
{
    const ZAppObservable *app = subject();
    addLabel(m_layout, tr("Device Type: "), this);
    m_combo = new QComboBox(this);
    m_combo->setEnabled(!app->isSampling());
    m_combo->addItem(tr("Choose One"));
    for (int type = MinBoxType; type <= MaxBoxType; ++type)
        m_combo->addItem(ZAppObservable::boxTypeName(type));
    m_combo->setCurrentIndex(app->boxType());
    connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ZBoxTypeCfgr::boxTypeChanged);
    m_layout->addWidget(m_combo);
    return true;
}

bool ZBoxTypeCfgr::onDetached()
{
    delete m_combo;
    m_combo = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZBoxTypeCfgr::update(int code)
{
    switch (code) {
    case SamplingChanged:
        m_combo->setEnabled(!subject()->isSampling());
        return true;
    case BoxTypeChanged:
        m_combo->setCurrentIndex(subject()->boxType());
        return true;
    default:
        return false;
    }
}

void ZBoxTypeCfgr::boxTypeChanged(int index)
{
    if (ZAppObservable *app = subject())
        app->setBoxType(index);
}
