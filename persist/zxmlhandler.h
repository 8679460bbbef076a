#ifndef ZXMLHANDLER_H
#define ZXMLHANDLER_H

#include <string_view>
#include <vector>

// One attribute of a start tag: its name and its value with references resolved, both
// UTF-8 and valid only during the call that hands them over.
struct ZXmlAttribute
{
    std::string_view name;
    std::string_view value;
};

// Receives the elements of a document in order. Text, comments and processing
// instructions are not passed on: project files hold their data in attributes only.
class ZXmlHandler
{
public:
    virtual ~ZXmlHandler();
    virtual void startElement(std::string_view name, const std::vector<ZXmlAttribute> &attributes)
        = 0;
    virtual void endElement() = 0;
};

// Returns the value of the first attribute with that name, or nullptr.
const std::string_view *findAttribute(const std::vector<ZXmlAttribute> &attributes,
                                      std::string_view name);

#endif // ZXMLHANDLER_H
