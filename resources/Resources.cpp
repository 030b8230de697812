#include "resources/Resources.h"

#include <QtGlobal>

void InitQuintavoResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}
