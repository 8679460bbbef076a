#include "zeventdispatcher.h"

#include <QByteArray>

void useQtEventDispatcher()
{
    qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}
