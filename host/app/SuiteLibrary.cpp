#include "app/SuiteLibrary.h"

#include <SuiteVersion.h>

const char *SuiteLibrary::version()
{
    return SUITE_VERSION;
}
