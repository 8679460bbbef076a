#include "zxmlhandler.h"

ZXmlHandler::~ZXmlHandler() = default;

const std::string_view *findAttribute(const std::vector<ZXmlAttribute> &attributes,
                                      std::string_view name)
{
    for (const ZXmlAttribute &attribute : attributes) {
        if (attribute.name == name)
            return &attribute.value;
    }
    return nullptr;
}
