#include "ui/zboxinfo.h"

#include "app/zdevicetypes.h"
#include "device/zimgybox.h"
#include "ui/zpanelkit.h"
#include "ui/zvalueedit.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>

namespace {

// A line edit's frame and text margins together.
constexpr int FieldTextMargin = 12;

} // namespace

ZBoxInfo::ZBoxInfo(QWidget *parent)
    : QGroupBox(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(10, 10, 10, 10);
}

ZBoxInfo::~ZBoxInfo()
{
    detach(subject());
}

bool ZBoxInfo::onAttached()
{
    const auto *box = dynamic_cast<ZImgyBox *>(subject());
    if (!box)
        return false;
    setTitle(tr("Project Information"));
    addInfoField(tr("Device Type: "), boxTypeName(box->boxType()), ValueFieldWidth);
    addInfoField(tr("Time of Saving: "), box->savedTime(), WideFieldWidth);
    m_layout->addStretch(100);
    return true;
}

bool ZBoxInfo::onDetached()
{
    clearLayout(m_layout);
    return true;
}

ZValueEdit *ZBoxInfo::addInfoField(const QString &label, const QString &text, int width)
{
    auto *group = new QWidget(this);
    auto *layout = new QHBoxLayout(group);
    layout->setSpacing(5);
    layout->setContentsMargins(0, 0, 0, 0);
    addLabel(layout, label, group);
    // Wide enough for the whole text, whatever the font and the form of the saved time.
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text) + FieldTextMargin;
    auto *field = new ZValueEdit(group, qMax(width, textWidth));
    field->setLocked(true);
    field->showValue(text);
    layout->addWidget(field);
    layout->addStretch(0);
    m_layout->addWidget(group);
    return field;
}
