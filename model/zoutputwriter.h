#ifndef ZOUTPUTWRITER_H
#define ZOUTPUTWRITER_H

#include <QtGlobal>

// Where output channels send a constant value that must reach the device at once while
// a run is in progress. The application model implements it; the model layer knows
// nothing more about the device.
class ZOutputWriter
{
public:
    virtual ~ZOutputWriter() = default;
    virtual bool sendAnalogOut(int channel, quint16 code) = 0;
    virtual bool sendDigitOut(int channel, quint8 status) = 0;
};

#endif // ZOUTPUTWRITER_H
