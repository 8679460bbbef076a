#ifndef ZXMLFASTSCANNER_H
#define ZXMLFASTSCANNER_H

#include "zxmlhandler.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// A scanner for the plain form of XML that project files are written in, several times
// faster than QXmlStreamReader on files of millions of elements. It knows a strict subset
// of XML: an optional UTF-8 byte order mark and declaration (version 1.0, encoding UTF-8),
// elements with ASCII names, attribute values in UTF-8 with the five predefined entity
// references, and only white space between elements. Every document it accepts is
// well-formed XML and gives the same elements as QXmlStreamReader.
//
// Anything else (comments, processing instructions, a document type, CDATA, character
// references, other encodings, any error) ends the scan with Unsupported; the caller then
// starts again from the beginning with QXmlStreamReader, which decides.
class ZXmlFastScanner
{
public:
    enum Result { WellFormed, Unsupported };

    // Tags longer than this are left to QXmlStreamReader rather than buffered.
    static constexpr std::size_t MaxTagLength = std::size_t(1) << 20;

    explicit ZXmlFastScanner(std::size_t chunkSize = std::size_t(1) << 20);

    // Reads the device from its current position to its end.
    Result scan(QIODevice &device, ZXmlHandler &handler);

private:
    bool fill();
    bool ensure(std::size_t count);
    std::size_t findTagEnd();
    void skipWhiteSpace();
    bool parseDeclaration(const char *begin, const char *end);
    bool parseStartTag(const char *begin, const char *end, bool *empty);
    bool parseEndTag(const char *begin, const char *end);
    bool parseAttributes(const char *p, const char *end);
    bool decodeValue(std::string_view raw, std::string *decoded) const;

    QIODevice *m_device = nullptr;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; // first byte not yet consumed
    std::size_t m_end = 0; // end of the bytes read
    bool m_atEnd = false;
    std::string_view m_name;
    std::vector<ZXmlAttribute> m_attributes;
    std::vector<std::string> m_decoded;
    std::vector<std::string> m_open; // names of the open elements, outermost first
    std::size_t m_depth = 0;
};

#endif // ZXMLFASTSCANNER_H
