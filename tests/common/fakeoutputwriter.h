#ifndef FAKEOUTPUTWRITER_H
#define FAKEOUTPUTWRITER_H

#include "model/zoutputwriter.h"

#include <QString>
#include <QStringList>

// Records what reaches the device, as "analog:<channel>:<code>" or "digital:<channel>:<level>".
class FakeOutputWriter : public ZOutputWriter
{
public:
    bool sendAnalogOut(int channel, quint16 code) override
    {
        writes.append(QStringLiteral("analog:%1:%2").arg(channel).arg(code));
        return true;
    }
    bool sendDigitOut(int channel, quint8 status) override
    {
        writes.append(QStringLiteral("digital:%1:%2").arg(channel).arg(status));
        return true;
    }
    QStringList writes;
};

#endif // FAKEOUTPUTWRITER_H
