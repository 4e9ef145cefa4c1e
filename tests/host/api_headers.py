#!/usr/bin/env python3
"""Keeps libsuite's users to its API.

    api_headers.py SOURCE_DIR PUBLIC_HEADERS USER_DIR...

PUBLIC_HEADERS is the list SUITE_PUBLIC_HEADERS of host/CMakeLists.txt, separated by ','.
Fails, naming file, line and header, when a user (a module, the shell, the application
server) includes a host header that is not public, when a public header includes one
that is not (its users would need it too), and when a header's export macro does not
match its side: a public header marked SUITE_TEST_EXPORT, or an internal one marked
SUITE_EXPORT, links with tests and fails to link (or exports too much) without them.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
TEST_MACRO = re.compile(r'\bSUITE_TEST_EXPORT\b')
API_MACRO = re.compile(r'\bSUITE_EXPORT\b')


def lines_of(path):
    with open(path, encoding='utf-8') as f:
        return f.read().split('\n')


def host_header(host, including, name):
    # The host header a quoted include names, if any: the includer's own folder first,
    # as the compiler looks, then host/.
    local = os.path.normpath(os.path.join(os.path.dirname(including), name))
    if os.path.isfile(local):
        local = os.path.relpath(local, host)
        return None if local.startswith('..') else local
    return name if os.path.isfile(os.path.join(host, name)) else None


def check_includes(host, path, shown, public, what):
    problems = []
    for number, line in enumerate(lines_of(path), 1):
        m = INCLUDE.match(line)
        header = m and host_header(host, path, m.group(1))
        if header and header not in public:
            problems.append('%s:%d: %s host/%s, which is not public' % (shown, number, what, header))
    return problems


def check_macros(path, shown, is_public):
    problems = []
    wrong, right = (TEST_MACRO, 'SUITE_EXPORT') if is_public else (API_MACRO, 'SUITE_TEST_EXPORT')
    side = 'public' if is_public else 'internal'
    for number, line in enumerate(lines_of(path), 1):
        m = wrong.search(line.split('//', 1)[0])
        if m:
            problems.append('%s:%d: %s header marked %s: use %s' % (shown, number, side, m.group(0), right))
    return problems


def check(source, public, users):
    host = os.path.join(source, 'host')
    problems = ['host/CMakeLists.txt: SUITE_PUBLIC_HEADERS lists host/%s, which does not exist' % h
                for h in sorted(public) if not os.path.isfile(os.path.join(host, h))]
    for folder, _, files in sorted(os.walk(host)):
        for name in sorted(f for f in files if f.endswith('.h')):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, host)
            if rel == 'suite_export.h':
                continue
            shown = 'host/' + rel
            if rel in public:
                problems += check_includes(host, path, shown, public, 'public header includes')
            problems += check_macros(path, shown, rel in public)
    for user in users:
        for folder, _, files in sorted(os.walk(os.path.join(source, user))):
            for name in sorted(f for f in files if f.endswith(('.h', '.cpp'))):
                path = os.path.join(folder, name)
                problems += check_includes(host, path, os.path.relpath(path, source), public, 'includes')
    return problems


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    public = set(h for h in argv[2].split(',') if h)
    problems = check(argv[1], public, argv[3:])
    for p in problems:
        print(p)
    if problems:
        print('%d problem(s). The API is SUITE_PUBLIC_HEADERS in host/CMakeLists.txt: make the header '
              'public there (and mark it SUITE_EXPORT), or keep its use inside libsuite.' % len(problems))
        return 1
    print('%d public headers; their users include no other host header.' % len(public))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
