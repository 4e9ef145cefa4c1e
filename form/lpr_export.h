#pragma once

#include <QtCore/qglobal.h>

#if defined(LPR07731_LIBRARY)
#    define LPR_EXPORT Q_DECL_EXPORT
#else
#    define LPR_EXPORT Q_DECL_IMPORT
#endif
