// The program's version block, read back from the program file by the help dialog.
#include "platform/VersionInfo.h"

QUINTAVO_VERSION_BLOCK(QUINTAVO_VERSION_MAJOR, QUINTAVO_VERSION_MINOR, QUINTAVO_VERSION_RELEASE, QUINTAVO_VERSION_BUILD);
