#pragma once

#include <QtCore/qglobal.h>

// SUITE_EXPORT marks the API: what modules, the shell and the application server use
// (SUITE_PUBLIC_HEADERS in host/CMakeLists.txt). SUITE_TEST_EXPORT marks the internals:
// exported only when the build has tests, which link them through libsuite itself, and
// hidden otherwise (libsuite is built with hidden visibility).
#if defined(SUITE_LIBRARY)
#    define SUITE_EXPORT Q_DECL_EXPORT
#else
#    define SUITE_EXPORT Q_DECL_IMPORT
#endif

#if defined(SUITE_EXPORT_INTERNALS)
#    define SUITE_TEST_EXPORT SUITE_EXPORT
#else
#    define SUITE_TEST_EXPORT
#endif
