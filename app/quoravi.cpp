// quoravi: the window program.

#include "app/zeventdispatcher.h"
#include "device/zusbbackend.h"
#include "ui/zentry.h"
#include "ui/zsingleapplication.h"
#include "ui/zuiresources.h"

int main(int argc, char **argv)
{
    useQtEventDispatcher();
    ZSingleApplication application(argc, argv);
    initUiResources();
    ZEntryOptions options;
    options.simulate = simulateRequested(ZSingleApplication::arguments());
    return runQuoravi(application, options);
}
