#include "ui/zuiresources.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE must not be called from inside a namespace.
static void initQuoraviResources()
{
    Q_INIT_RESOURCE(quoravi);
}

void initUiResources()
{
    initQuoraviResources();
}
