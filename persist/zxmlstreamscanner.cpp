#include "zxmlstreamscanner.h"

#include "zxmlhandler.h"

#include <QXmlStreamReader>

#include <vector>

namespace {

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace

bool scanXmlWithStreamReader(QIODevice &device, ZXmlHandler &handler)
{
    QXmlStreamReader reader(&device);
    // Attribute texts converted to UTF-8; kept here so the views stay valid for the call.
    std::vector<QByteArray> texts;
    std::vector<ZXmlAttribute> attributes;
    // A device that fails to read (an I/O error, a cancelled reading) leaves the reader
    // waiting for more data forever unless its error ends the loop.
    while (!reader.atEnd() && !reader.hasError()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QByteArray name = reader.qualifiedName().toUtf8();
            const QXmlStreamAttributes found = reader.attributes();
            texts.clear();
            texts.reserve(std::size_t(found.size()) * 2);
            for (const QXmlStreamAttribute &attribute : found) {
                texts.push_back(attribute.qualifiedName().toUtf8());
                texts.push_back(attribute.value().toUtf8());
            }
            attributes.clear();
            for (std::size_t i = 0; i + 1 < texts.size(); i += 2)
                attributes.push_back({ view(texts[i]), view(texts[i + 1]) });
            handler.startElement(view(name), attributes);
            break;
        }
        case QXmlStreamReader::EndElement:
            handler.endElement();
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}
