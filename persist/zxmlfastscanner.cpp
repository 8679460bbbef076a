#include "zxmlfastscanner.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Names from "xml" on are reserved, and "xmlns" attributes are namespace declarations
// that QXmlStreamReader does not report as attributes: leave all of them to it.
bool isReserved(std::string_view name)
{
    return name.size() >= 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm'
        && (name[2] | 0x20) == 'l';
}

const char *parseName(const char *p, const char *end)
{
    if (p == end || !isNameStart(*p))
        return p;
    ++p;
    while (p != end && isNameChar(*p))
        ++p;
    return p;
}

const char *skipSpace(const char *p, const char *end)
{
    while (p != end && isSpace(*p))
        ++p;
    return p;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? char(a[i] | 0x20) : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

unsigned char byteAt(const char *p)
{
    return static_cast<unsigned char>(*p);
}

bool isContinuation(const char *p)
{
    return (byteAt(p) & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence at p if it is a character XML allows, else 0.
std::size_t validSequence(const char *p, const char *end)
{
    const unsigned char c = byteAt(p);
    const auto left = std::size_t(end - p);
    if (c >= 0xC2 && c <= 0xDF)
        return left >= 2 && isContinuation(p + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !isContinuation(p + 1) || !isContinuation(p + 2))
            return 0;
        const unsigned char c1 = byteAt(p + 1);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F)) // overlong, surrogates
            return 0;
        if (c == 0xEF && c1 == 0xBF && byteAt(p + 2) >= 0xBE) // U+FFFE, U+FFFF
            return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !isContinuation(p + 1) || !isContinuation(p + 2) || !isContinuation(p + 3))
            return 0;
        const unsigned char c1 = byteAt(p + 1);
        if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
            return 0;
        return 4;
    }
    return 0;
}

} // namespace

ZXmlFastScanner::ZXmlFastScanner(std::size_t chunkSize)
    : m_buffer(std::max<std::size_t>(chunkSize, 64))
{ }

ZXmlFastScanner::Result ZXmlFastScanner::scan(QIODevice &device, ZXmlHandler &handler)
{
    m_device = &device;
    m_begin = m_end = 0;
    m_atEnd = false;
    m_depth = 0;

    if (ensure(3) && std::memcmp(&m_buffer[m_begin], "\xEF\xBB\xBF", 3) == 0)
        m_begin += 3;
    if (ensure(6) && std::memcmp(&m_buffer[m_begin], "<?xml", 5) == 0) {
        if (!isSpace(m_buffer[m_begin + 5]))
            return Unsupported; // a processing instruction, not the declaration
        const std::size_t close = findTagEnd();
        if (close == std::size_t(-1) || !parseDeclaration(&m_buffer[m_begin], &m_buffer[close]))
            return Unsupported;
        m_begin = close + 1;
    }

    bool rootSeen = false;
    for (;;) {
        skipWhiteSpace();
        if (m_begin == m_end) // end of input
            return rootSeen && m_depth == 0 ? WellFormed : Unsupported;
        // After the root only white space: a comment or a second root is for Qt to judge.
        if (m_buffer[m_begin] != '<' || (rootSeen && m_depth == 0))
            return Unsupported;
        const std::size_t close = findTagEnd();
        if (close == std::size_t(-1))
            return Unsupported;
        const char *begin = &m_buffer[m_begin];
        const char *end = &m_buffer[close];
        if (begin[1] == '/') {
            if (!parseEndTag(begin, end))
                return Unsupported;
            --m_depth;
            handler.endElement();
        } else {
            bool empty = false;
            if (!parseStartTag(begin, end, &empty))
                return Unsupported;
            rootSeen = true;
            handler.startElement(m_name, m_attributes);
            if (empty) {
                handler.endElement();
            } else {
                if (m_open.size() <= m_depth)
                    m_open.resize(m_depth + 1);
                m_open[m_depth++].assign(m_name);
            }
        }
        m_begin = close + 1;
    }
}

bool ZXmlFastScanner::fill()
{
    if (m_atEnd)
        return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_buffer.size()) {
        if (m_buffer.size() >= MaxTagLength)
            return false;
        m_buffer.resize(m_buffer.size() * 2);
    }
    const qint64 n = m_device->read(m_buffer.data() + m_end, qint64(m_buffer.size() - m_end));
    if (n <= 0) {
        m_atEnd = true;
        return false;
    }
    m_end += std::size_t(n);
    return true;
}

bool ZXmlFastScanner::ensure(std::size_t count)
{
    while (m_end - m_begin < count) {
        if (!fill())
            return false;
    }
    return true;
}

// Skips white space up to the next other byte, or to the end of the input, where
// m_begin == m_end.
void ZXmlFastScanner::skipWhiteSpace()
{
    for (;;) {
        while (m_begin < m_end && isSpace(m_buffer[m_begin]))
            ++m_begin;
        if (m_begin < m_end || !fill())
            return;
    }
}

// The position of the '>' that closes the tag starting at m_begin, outside quoted
// values; -1 when the input ends first or the tag is too long to buffer.
std::size_t ZXmlFastScanner::findTagEnd()
{
    std::size_t offset = 1;
    char quote = 0;
    for (;;) {
        const char *data = m_buffer.data() + m_begin;
        const std::size_t available = m_end - m_begin;
        for (; offset < available; ++offset) {
            const char c = data[offset];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '>') {
                return m_begin + offset;
            } else if (c == '"' || c == '\'') {
                quote = c;
            }
        }
        if (!fill())
            return std::size_t(-1);
    }
}

bool ZXmlFastScanner::parseDeclaration(const char *begin, const char *end)
{
    // "<?xml" S pseudo-attributes S? "?>": version first, then encoding and standalone.
    if (end[-1] != '?' || !parseAttributes(begin + 5, end - 1))
        return false;
    std::size_t next = 0;
    const auto take = [&](std::string_view name) {
        if (next < m_attributes.size() && m_attributes[next].name == name)
            return &m_attributes[next++].value;
        return static_cast<std::string_view *>(nullptr);
    };
    const std::string_view *version = take("version");
    if (!version || *version != "1.0")
        return false;
    if (const std::string_view *encoding = take("encoding")) {
        if (!equalsIgnoringCase(*encoding, "utf-8"))
            return false;
    }
    if (const std::string_view *standalone = take("standalone")) {
        if (*standalone != "yes" && *standalone != "no")
            return false;
    }
    return next == m_attributes.size();
}

bool ZXmlFastScanner::parseStartTag(const char *begin, const char *end, bool *empty)
{
    const char *p = begin + 1;
    *empty = end[-1] == '/' && end - 1 > p;
    if (*empty)
        --end;
    const char *nameEnd = parseName(p, end);
    if (nameEnd == p)
        return false;
    m_name = std::string_view(p, std::size_t(nameEnd - p));
    if (isReserved(m_name))
        return false;
    return parseAttributes(nameEnd, end);
}

bool ZXmlFastScanner::parseEndTag(const char *begin, const char *end)
{
    const char *p = begin + 2;
    const char *nameEnd = parseName(p, end);
    if (nameEnd == p || skipSpace(nameEnd, end) != end || m_depth == 0)
        return false;
    return m_open[m_depth - 1] == std::string_view(p, std::size_t(nameEnd - p));
}

// (S Name S? '=' S? quoted-value)* S? up to end.
bool ZXmlFastScanner::parseAttributes(const char *p, const char *end)
{
    m_attributes.clear();
    std::size_t decodedCount = 0;
    for (;;) {
        const char *afterSpace = skipSpace(p, end);
        if (afterSpace == end)
            break;
        if (afterSpace == p)
            return false;
        p = afterSpace;
        const char *nameEnd = parseName(p, end);
        if (nameEnd == p)
            return false;
        const std::string_view name(p, std::size_t(nameEnd - p));
        if (isReserved(name) || findAttribute(m_attributes, name))
            return false;
        p = skipSpace(nameEnd, end);
        if (p == end || *p != '=')
            return false;
        p = skipSpace(p + 1, end);
        if (p == end || (*p != '"' && *p != '\''))
            return false;
        const char quote = *p++;
        const char *valueEnd
            = static_cast<const char *>(std::memchr(p, quote, std::size_t(end - p)));
        if (!valueEnd)
            return false;
        const std::string_view value(p, std::size_t(valueEnd - p));
        bool references = false;
        for (const char *v = p; v < valueEnd;) {
            const unsigned char c = byteAt(v);
            if (c < 0x80) {
                // Line breaks and tabs are normalised to spaces and '<' is an error:
                // QXmlStreamReader's business.
                if (c < 0x20 || c == '<')
                    return false;
                references |= c == '&';
                ++v;
                continue;
            }
            const std::size_t length = validSequence(v, valueEnd);
            if (length == 0)
                return false;
            v += length;
        }
        if (references) {
            // Decoded into m_decoded once every value is known, so that no view points
            // into a string the growing list has moved.
            if (m_decoded.size() <= decodedCount)
                m_decoded.resize(decodedCount + 1);
            if (!decodeValue(value, &m_decoded[decodedCount++]))
                return false;
        }
        m_attributes.push_back({ name, references ? std::string_view() : value });
        p = valueEnd + 1;
    }
    if (decodedCount > 0) {
        std::size_t next = 0;
        for (ZXmlAttribute &attribute : m_attributes) {
            if (attribute.value.data() == nullptr)
                attribute.value = m_decoded[next++];
        }
    }
    return true;
}

bool ZXmlFastScanner::decodeValue(std::string_view raw, std::string *decoded) const
{
    static constexpr struct
    {
        std::string_view name;
        char character;
    } Entities[]
        = { { "amp", '&' }, { "lt", '<' }, { "gt", '>' }, { "quot", '"' }, { "apos", '\'' } };

    decoded->clear();
    while (!raw.empty()) {
        const std::size_t amp = raw.find('&');
        decoded->append(raw.substr(0, amp));
        if (amp == std::string_view::npos)
            break;
        const std::size_t semicolon = raw.find(';', amp);
        if (semicolon == std::string_view::npos)
            return false;
        const std::string_view name = raw.substr(amp + 1, semicolon - amp - 1);
        const auto entity = std::find_if(std::begin(Entities), std::end(Entities),
                                         [name](const auto &e) { return e.name == name; });
        if (entity == std::end(Entities))
            return false; // character references and undeclared entities
        decoded->push_back(entity->character);
        raw.remove_prefix(semicolon + 1);
    }
    return true;
}
