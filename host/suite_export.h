#pragma once

#include <QtCore/qglobal.h>

#if defined(SUITE_LIBRARY)
#    define SUITE_EXPORT Q_DECL_EXPORT
#else
#    define SUITE_EXPORT Q_DECL_IMPORT
#endif
