#!/usr/bin/python3
"""Compares the SDL and OpenGL calls that the game library leaves for its
platform to answer with the calls listed in the platform contract.

usage: check_symbols.py NM LIBRARY CONTRACT

NM is the toolchain's nm, LIBRARY the game's static library and CONTRACT
platform/README.md. The library's undefined SDL_* and gl* symbols must be
exactly the calls of the contract's SDL and OpenGL tables, less SDL_main,
which the library itself must define. Exits 1 naming every difference.
"""
import re
import subprocess
import sys


def tablecalls(text, heading):
    """The calls named in the first column of the table under `## heading`."""
    section = re.search(r'^## ' + heading + r'\n(.*?)(?=^## |\Z)', text, re.M | re.S)
    if not section:
        sys.exit(f'contract: no "## {heading}" section')
    names = set()
    for line in section.group(1).splitlines():
        if not line.startswith('|'):
            continue
        # Cells are split at pipes that Markdown has not escaped.
        first = re.split(r'(?<!\\)\|', line)[1]
        names.update(re.findall(r'`([A-Za-z_]\w*)\(', first))
    return names


def symbols(nm, library, flag):
    out = subprocess.run([nm, flag, library], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        fields = line.split()
        # "U name" for undefined symbols, "address T name" for defined ones.
        if len(fields) >= 2 and re.fullmatch(r'(SDL_|gl)\w+', fields[-1]):
            names.add(fields[-1])
    return names


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    nm, library, contract = sys.argv[1:]
    with open(contract, encoding='utf-8') as f:
        text = f.read()
    listed = tablecalls(text, 'SDL') | tablecalls(text, 'OpenGL')
    needed = symbols(nm, library, '--undefined-only')
    defined = symbols(nm, library, '--defined-only')
    # Found nothing at all: the contract's layout or nm's output changed.
    if not listed or not needed:
        sys.exit(f'contract: found {len(listed)} calls in {contract} and '
                 f'{len(needed)} SDL or OpenGL symbols needed by {library}')

    problems = []
    if 'SDL_main' not in defined:
        problems.append(f'{library} does not define SDL_main, the game\'s entry')
    listed.discard('SDL_main')
    extra = sorted(needed - listed)
    missing = sorted(listed - needed)
    if extra:
        problems.append('needed by the game but not in the contract: ' + ', '.join(extra))
    if missing:
        problems.append('in the contract but not needed by the game: ' + ', '.join(missing))
    if problems:
        print('\n'.join(f'contract: {p}' for p in problems), file=sys.stderr)
        return 1
    print(f'contract: the game needs exactly the {len(needed)} SDL and OpenGL calls listed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
