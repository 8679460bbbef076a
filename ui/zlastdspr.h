#ifndef ZLASTDSPR_H
#define ZLASTDSPR_H

#include "model/zcomponent.h"

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class ZAnalogIn;
class ZDigitIn;
class ZEdgeCnt;
class ZInChannel;
class ZLightIcon;

// The live reading strip of an input channel: the time and value of the last sample, the
// "Graph" check box that shows the channel's graph and the "Print" button for it. Print
// is enabled only while the graph is shown and the channel does not sample.
class ZLastDspr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    ~ZLastDspr() override;

    bool update(int hint) override;
    bool onAttached() override;
    bool onDetached() override;

    QLineEdit *timeField() const { return m_timeField; }
    QWidget *valueWidget() const { return m_valueWidget; }
    QCheckBox *graphCheck() const { return m_graphCheck; }
    QPushButton *printButton() const { return m_printButton; }

signals:
    void printPressed();

protected:
    explicit ZLastDspr(QWidget *parent);

    // Takes the channel as the kind's own (null on detaching); false for another kind.
    virtual bool setKindChannel(ZInChannel *channel) = 0;
    // The kind's value group: caption, value widget (owned by the given parent), unit.
    virtual QString valueCaption() const = 0;
    virtual QWidget *createValueWidget(QWidget *parent) = 0;
    virtual QString valueUnit() const { return QString(); }
    virtual void showLastValue() = 0;

    ZInChannel *channel() const { return m_channel; }

private slots:
    void graphCheckChanged(int state);
    void onDataAppended(int count);

private:
    QWidget *addGroup(int spacing);
    void showLastTime();
    void updatePrintEnabled();

    QHBoxLayout *m_layout = nullptr;
    QLineEdit *m_timeField = nullptr;
    QWidget *m_valueWidget = nullptr;
    QCheckBox *m_graphCheck = nullptr;
    QPushButton *m_printButton = nullptr;
    ZInChannel *m_channel = nullptr;
};

class ZLastVolt : public ZLastDspr
{
    Q_OBJECT

public:
    explicit ZLastVolt(QWidget *parent = nullptr);
    ~ZLastVolt() override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    QString valueCaption() const override;
    QWidget *createValueWidget(QWidget *parent) override;
    QString valueUnit() const override;
    void showLastValue() override;

private:
    QLineEdit *m_voltField = nullptr;
    ZAnalogIn *m_analogIn = nullptr;
};

class ZLastStat : public ZLastDspr
{
    Q_OBJECT

public:
    explicit ZLastStat(QWidget *parent = nullptr);
    ~ZLastStat() override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    QString valueCaption() const override;
    QWidget *createValueWidget(QWidget *parent) override;
    void showLastValue() override;

private:
    ZLightIcon *m_lamp = nullptr;
    ZDigitIn *m_digitIn = nullptr;
};

class ZLastCntd : public ZLastDspr
{
    Q_OBJECT

public:
    explicit ZLastCntd(QWidget *parent = nullptr);
    ~ZLastCntd() override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    QString valueCaption() const override;
    QWidget *createValueWidget(QWidget *parent) override;
    void showLastValue() override;

private:
    QLineEdit *m_countField = nullptr;
    ZEdgeCnt *m_edgeCnt = nullptr;
};

// A new reading strip of the channel's kind, attached to it; null for no channel or
// another kind.
ZLastDspr *createLastDspr(ZInChannel *channel, QWidget *parent);

#endif // ZLASTDSPR_H
