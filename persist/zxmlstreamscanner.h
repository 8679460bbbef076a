#ifndef ZXMLSTREAMSCANNER_H
#define ZXMLSTREAMSCANNER_H

class QIODevice;
class ZXmlHandler;

// Reads a whole document with QXmlStreamReader, honouring its declared encoding, and
// hands its elements to the handler. Returns whether the document is well-formed; the
// handler may have received elements before an error was found.
bool scanXmlWithStreamReader(QIODevice &device, ZXmlHandler &handler);

#endif // ZXMLSTREAMSCANNER_H
