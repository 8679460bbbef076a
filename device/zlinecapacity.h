#ifndef ZLINECAPACITY_H
#define ZLINECAPACITY_H

class ZRealBox;

// What the serial line to a box carries and what a run's inputs and rates ask of it.
// During a run every sample request (3 bytes) and its answer cross the line one after
// the other, each byte as 10 bits at the box type's baud rate; the requests go at the
// pace of the fastest selected input (digital input 0 when nothing is selected). The
// box's own turnaround is left out: these are the line's figures, an upper bound.
struct ZLineLoad
{
    double capacityBytesPerSecond = 0.0; // what the type's line carries
    double requestsPerSecond = 0.0; // records the inputs and rates ask for
    unsigned bytesPerRecord = 0; // one sample request and its answer
    double demandBytesPerSecond = 0.0; // requestsPerSecond * bytesPerRecord
    double reachableRecordsPerSecond = 0.0; // the most records the line can deliver

    bool isOverCapacity() const { return demandBytesPerSecond > capacityBytesPerSecond; }
};

// Bytes per second the line of a box type carries; 0 for an unknown type.
double lineCapacityBytesPerSecond(int boxType);

// The bytes of one sample request and of its answer: 4 header bytes and the opcode,
// 4 per selected analog input, 2 per digital input (every one is reported), 5 per
// selected edge counter.
unsigned sampleRequestBytes();
unsigned sampleAnswerBytes(const ZRealBox &box);

// The load the box's channels as they are now selected would put on the line.
ZLineLoad lineLoad(const ZRealBox &box);

#endif // ZLINECAPACITY_H
