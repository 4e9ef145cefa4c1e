#!/usr/bin/env python3
"""The guard api_headers.py over small trees: each row a tree, its public list and the
problems the guard must report (none for a clean tree)."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import api_headers  # noqa: E402

BASE = {
    'host/suite_export.h': '#define SUITE_EXPORT\n#define SUITE_TEST_EXPORT\n',
    'host/app/Api.h': '#pragma once\n#include "suite_export.h"\nclass SUITE_EXPORT Api {};\n',
    'host/app/Inner.h': '#pragma once\n#include "suite_export.h"\nclass SUITE_TEST_EXPORT Inner {};\n',
    'mod/Screen.h': '#pragma once\n\n#include "app/Api.h"\n#include "Own.h"\n',
    'mod/Own.h': '#pragma once\n',
}
PUBLIC = {'suite_export.h', 'app/Api.h'}

ROWS = [
    ('clean tree', {}, PUBLIC, []),
    ('module includes an internal header',
     {'mod/Screen.cpp': '#include "Screen.h"\n\n#include "app/Inner.h"\n'}, PUBLIC,
     ['mod/Screen.cpp:3: includes host/app/Inner.h, which is not public']),
    ('public header exposes an internal one',
     {'host/app/Api.h': '#pragma once\n#include "app/Inner.h"\n#include "suite_export.h"\n'}, PUBLIC,
     ['host/app/Api.h:2: public header includes host/app/Inner.h, which is not public']),
    ('public header included from its own folder',
     {'host/app/Api.h': '#pragma once\n#include "Inner.h"\n'}, PUBLIC,
     ['host/app/Api.h:2: public header includes host/app/Inner.h, which is not public']),
    ('a module header of the same name as a host one is its own',
     {'mod/Inner.h': '#pragma once\n', 'mod/Own.h': '#include "Inner.h"\n'}, PUBLIC, []),
    ('public header still marked for tests',
     {'host/app/Api.h': '#pragma once\nclass SUITE_TEST_EXPORT Api {};\n'}, PUBLIC,
     ['host/app/Api.h:2: public header marked SUITE_TEST_EXPORT: use SUITE_EXPORT']),
    ('internal header exported as API',
     {'host/app/Inner.h': '#pragma once\n\nSUITE_EXPORT void f(); // not SUITE_TEST_EXPORT\n'}, PUBLIC,
     ['host/app/Inner.h:3: internal header marked SUITE_EXPORT: use SUITE_TEST_EXPORT']),
    ('listed header that is gone', {}, PUBLIC | {'app/Gone.h'},
     ['host/CMakeLists.txt: SUITE_PUBLIC_HEADERS lists host/app/Gone.h, which does not exist']),
]


def run(files, public):
    with tempfile.TemporaryDirectory() as root:
        for name, text in {**BASE, **files}.items():
            path = os.path.join(root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, 'w', encoding='utf-8') as f:
                f.write(text)
        return api_headers.check(root, public, ['mod'])


def main():
    failed = 0
    for name, files, public, expected in ROWS:
        got = run(files, public)
        if got != expected:
            failed += 1
            print('FAIL %s\n  expected %s\n  got      %s' % (name, expected, got))
        else:
            print('PASS %s' % name)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
