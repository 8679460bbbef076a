#ifndef ZBOXINFO_H
#define ZBOXINFO_H

#include "device/zbox.h"
#include "ui/zvalueedit.h"

#include <QGroupBox>

class QHBoxLayout;

// The head of a playback page: the device type and the time the project was saved.
class ZBoxInfo : public QGroupBox, public ZObserver<ZBox>
{
    Q_OBJECT

public:
    explicit ZBoxInfo(QWidget *parent = nullptr);
    ~ZBoxInfo() override;

    // Only playback boxes carry project information; any other box builds nothing.
    bool onAttached() override;
    bool onDetached() override;

private:
    ZValueEdit *addInfoField(const QString &label, const QString &text, int width);

    QHBoxLayout *m_layout;
};

#endif // ZBOXINFO_H
