#ifndef ZGRAPHKINDS_H
#define ZGRAPHKINDS_H

#include "ui/zgraphdspr.h"

class ZAnalogIn;
class ZDigitIn;
class ZEdgeCnt;

// Voltages, or the function Y of them, of an analog input.
class ZGraphVolt : public ZGraphDspr
{
    Q_OBJECT

public:
    explicit ZGraphVolt(QWidget *parent = nullptr);
    ~ZGraphVolt() override;

    bool update(int hint) override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    std::unique_ptr<ZCurveData> createCurveData() const override;
    QColor curveStyle(QString &title) const override;

private:
    ZAnalogIn *m_analogIn = nullptr;
};

// Levels of a digital input, 0 or 1 on a fixed axis.
class ZGraphStat : public ZGraphDspr
{
    Q_OBJECT

public:
    explicit ZGraphStat(QWidget *parent = nullptr);
    ~ZGraphStat() override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    std::unique_ptr<ZCurveData> createCurveData() const override;
    QColor curveStyle(QString &title) const override;
    void applyYAxis() override;

private:
    ZDigitIn *m_digitIn = nullptr;
};

// Counts of an edge counter.
class ZGraphCntd : public ZGraphDspr
{
    Q_OBJECT

public:
    explicit ZGraphCntd(QWidget *parent = nullptr);
    ~ZGraphCntd() override;

protected:
    bool setKindChannel(ZInChannel *channel) override;
    std::unique_ptr<ZCurveData> createCurveData() const override;
    QColor curveStyle(QString &title) const override;

private:
    ZEdgeCnt *m_edgeCnt = nullptr;
};

#endif // ZGRAPHKINDS_H
