#include "ui/zselectedcfgr.h"

#include "model/zinchannel.h"
#include "ui/zpanelkit.h"

#include <QCheckBox>
#include <QHBoxLayout>

ZSelectedCfgr::ZSelectedCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZSelectedCfgr::~ZSelectedCfgr()
{
    detach(subject());
}

bool ZSelectedCfgr::onAttached()
{
    m_channel = dynamic_cast<ZInChannel *>(subject());
    if (!m_channel)
        return false;
    m_checkBox = new QCheckBox(tr("Select"), this);
    m_checkBox->setEnabled(!m_channel->isSampling());
    m_checkBox->setChecked(m_channel->isSelected());
    connect(m_checkBox, &QCheckBox::stateChanged, this, &ZSelectedCfgr::selectedCheckChanged);
    m_layout->addWidget(m_checkBox);
    return true;
}

bool ZSelectedCfgr::onDetached()
{
    delete m_checkBox;
    m_checkBox = nullptr;
    clearLayout(m_layout);
    m_channel = nullptr;
    return true;
}

bool ZSelectedCfgr::update(int code)
{
    if (!m_channel)
        return false;
    switch (code) {
    case SamplingChanged:
        m_checkBox->setEnabled(!m_channel->isSampling());
        return true;
    case SelectedChanged:
        m_checkBox->setChecked(m_channel->isSelected());
        return true;
    default:
        return false;
    }
}

void ZSelectedCfgr::selectedCheckChanged(int state)
{
    if (m_channel)
        m_channel->setSelected(state == Qt::Checked);
}
