#ifndef XMLRECORDER_H
#define XMLRECORDER_H

#include "persist/zxmlhandler.h"

#include <QByteArrayList>

// Writes down every element a scanner reports, with its attributes in their order.
class XmlRecorder : public ZXmlHandler
{
public:
    void startElement(std::string_view name, const std::vector<ZXmlAttribute> &attributes) override
    {
        QByteArray line = "<" + QByteArray(name.data(), int(name.size()));
        for (const ZXmlAttribute &a : attributes)
            line += " " + QByteArray(a.name.data(), int(a.name.size())) + "=["
                + QByteArray(a.value.data(), int(a.value.size())) + "]";
        events << line;
    }
    void endElement() override { events << ">"; }

    QByteArrayList events;
};

#endif // XMLRECORDER_H
