#!/usr/bin/python3
"""Checks that each program a player runs has every wrap of its seam.

usage: check_wraps.py NM WRAPS PROGRAM [WRAPS PROGRAM]...

WRAPS is the list that sparkrally_program (replay/replay.cmake) wrote for
the program, one SDL call a line. PROGRAM is the program itself, in which
each call must have its __wrap_ function among the symbols NM lists:
sparkrally_wrap gives a library the linker's option and the function
together, so the function linked means the wrap is in force. For a
program that keeps no symbols (the page's .wasm), PROGRAM is instead the
.linkoptions file its build wrote, in which each call must have its --wrap
option: the link fails where the option finds no __wrap_ function. Exits 1
naming each one missing.
"""
import re
import subprocess
import sys


def wrapsin(nm, program):
    """The calls that the program's link wraps."""
    if program.endswith('.linkoptions'):
        with open(program, encoding='utf-8') as f:
            return set(re.findall(r'--wrap=(\w+)', f.read()))
    text = subprocess.run([nm, '--defined-only', program], check=True, capture_output=True,
                          text=True).stdout
    return set(re.findall(r'\b__wrap_(\w+)', text))


def main():
    args = sys.argv[1:]
    if len(args) < 3 or len(args) % 2 != 1:
        sys.exit(__doc__)
    nm, pairs = args[0], args[1:]
    problems = []
    for listfile, program in zip(pairs[::2], pairs[1::2]):
        try:
            with open(listfile, encoding='utf-8') as f:
                wanted = f.read().split()
        except FileNotFoundError:
            problems.append(f'no {listfile}: its program was not linked by sparkrally_program')
            continue
        # An empty list would pass anything: its writer has changed.
        if not wanted:
            problems.append(f'{listfile} names no wrap')
            continue
        linked = wrapsin(nm, program)
        missing = [name for name in wanted if name not in linked]
        if missing:
            problems.append(f'{program} lacks the wraps of ' + ', '.join(missing))
        else:
            print(f'seam: {program} has its {len(wanted)} wraps')
    if problems:
        print('\n'.join(f'seam: {p}' for p in problems), file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
