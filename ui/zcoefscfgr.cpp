#include "ui/zcoefscfgr.h"

#include "model/zanalogin.h"
#include "ui/zvaluefield.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <cassert>
#include <cmath>

namespace {

// A coefficient as the model holds it: general form, six significant digits.
QString coefText(double value)
{
    return QStringLiteral("%1").arg(value);
}

QHBoxLayout *rowLayout(QWidget *row)
{
    auto *layout = new QHBoxLayout(row);
    layout->setSpacing(5);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

} // namespace

ZCoefsCfgr::ZCoefsCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZCoefsCfgr::~ZCoefsCfgr()
{
    detach(subject());
}

bool ZCoefsCfgr::update(int hint)
{
    if (!m_analogIn)
        return false;
    switch (hint) {
    case GraphShownChanged:
        setVisible(m_analogIn->isGraphShown());
        applyFunctionRowRule();
        return true;
    case ShowTypeChanged:
        m_showTypeCombo->setCurrentIndex(m_analogIn->showType() == 1 ? 1 : 0);
        applyFunctionRowRule();
        return true;
    case CoefsChanged:
        showCoefs();
        return true;
    default:
        return false;
    }
}

bool ZCoefsCfgr::onAttached()
{
    m_analogIn = dynamic_cast<ZAnalogIn *>(subject());
    if (!m_analogIn)
        return false;
    setVisible(m_analogIn->isGraphShown());
    buildChoice();
    buildFunctionRow();
    m_layout->addStretch(100);
    return true;
}

bool ZCoefsCfgr::onDetached()
{
    if (m_showTypeCombo)
        disconnect(m_showTypeCombo, nullptr, this, nullptr);
    delete m_showTypeCombo;
    m_showTypeCombo = nullptr;
    for (QLineEdit *edit : m_coefEdits)
        delete edit;
    m_coefEdits.clear();
    delete m_functionRow;
    m_functionRow = nullptr;
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_analogIn = nullptr;
    return true;
}

void ZCoefsCfgr::buildChoice()
{
    auto *group = new QWidget(this);
    QHBoxLayout *layout = rowLayout(group);
    layout->addWidget(new QLabel(tr("Y-axis: "), group));
    m_showTypeCombo = new QComboBox(group);
    m_showTypeCombo->addItem(tr("Voltage(V)"));
    m_showTypeCombo->addItem(tr("Function Y"));
    m_showTypeCombo->setCurrentIndex(m_analogIn->showType() != 0 ? 1 : 0);
    connect(m_showTypeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ZCoefsCfgr::showTypeChanged);
    layout->addWidget(m_showTypeCombo);
    layout->addStretch(0);
    m_layout->addWidget(group);
}

void ZCoefsCfgr::buildFunctionRow()
{
    m_functionRow = new QWidget(this);
    m_layout->addWidget(m_functionRow);
    QHBoxLayout *layout = rowLayout(m_functionRow);
    layout->addWidget(new QLabel(tr("Y = "), m_functionRow));

    const std::vector<double> coefs = m_analogIn->coefs();
    const std::size_t len = coefs.size();
    assert(len > 0);
    m_coefEdits.assign(len, nullptr);
    for (std::size_t k = len; k-- > 0;) {
        QLineEdit *edit = createValueField(m_functionRow, false);
        edit->setText(coefText(coefs[k]));
        connect(edit, &QLineEdit::editingFinished, this, &ZCoefsCfgr::coefsEdited);
        layout->addWidget(edit);
        if (k >= 2)
            layout->addWidget(new QLabel(tr(" * V^%1 + ").arg(k), m_functionRow));
        else if (k == 1)
            layout->addWidget(new QLabel(tr(" * V + "), m_functionRow));
        m_coefEdits[k] = edit;
    }
    layout->addStretch(0);
    applyFunctionRowRule();
}

void ZCoefsCfgr::applyFunctionRowRule()
{
    if (m_functionRow)
        m_functionRow->setVisible(!isHidden() && m_analogIn->showType() == 1);
}

void ZCoefsCfgr::showCoefs()
{
    const std::vector<double> coefs = m_analogIn->coefs();
    for (std::size_t k = 0; k < coefs.size() && k < m_coefEdits.size(); ++k)
        m_coefEdits[k]->setText(coefText(coefs[k]));
}

void ZCoefsCfgr::showTypeChanged(int index)
{
    m_analogIn->setShowType(index == 1 ? 1 : 0);
}

void ZCoefsCfgr::coefsEdited()
{
    std::vector<double> coefs = m_analogIn->coefs();
    assert(coefs.size() == m_coefEdits.size());
    for (std::size_t k = 0; k < coefs.size(); ++k) {
        bool ok = false;
        const double value = m_coefEdits[k]->text().toDouble(&ok);
        // "nan" and "inf" parse, but the model would refuse the whole set.
        if (ok && std::isfinite(value))
            coefs[k] = value;
        m_coefEdits[k]->setText(formatNumber(coefs[k], 6));
    }
    m_analogIn->setCoefs(coefs);
}
