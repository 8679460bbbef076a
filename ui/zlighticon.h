#ifndef ZLIGHTICON_H
#define ZLIGHTICON_H

#include <QIcon>
#include <QPushButton>

// A lamp showing a digital level: a red disc when on, a black one when off.
class ZLightIcon : public QPushButton
{
    Q_OBJECT

public:
    explicit ZLightIcon(bool on, QWidget *parent = nullptr);

    bool isOn() const { return m_on; }
    void setOn(bool on);

private:
    // Decoded once per lamp, not at every switch.
    const QIcon m_onIcon;
    const QIcon m_offIcon;
    bool m_on = false;
};

#endif // ZLIGHTICON_H
