#!/usr/bin/env bash
# Checks the release binary's ELF headers for the hardening the build asks
# for, so that a change to the build cannot drop one silently.
set -u
bin=$1
fail=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "MISSING: $1"; fail=1; fi
}
header=$(readelf -hW "$bin")
dynamic=$(readelf -dW "$bin")
segments=$(readelf -lW "$bin")
switches=$(readelf -p .GCC.command.line "$bin" 2>/dev/null)
symbols=$(readelf --dyn-syms -W "$bin")

check "position-independent executable" \
    'grep -q "Type: *DYN" <<<"$header" && grep -q "FLAGS_1.*PIE" <<<"$dynamic"'
check "RELRO segment" 'grep -q GNU_RELRO <<<"$segments"'
check "immediate binding (full RELRO)" 'grep -Eq "BIND_NOW|FLAGS_1.*NOW" <<<"$dynamic"'
check "non-executable stack" 'grep -Eq "GNU_STACK.* RW  " <<<"$segments"'
check "built with -fstack-protector-strong" 'grep -q -- "-fstack-protector-strong" <<<"$switches"'
check "built with optimisation" 'grep -Eq -- "-O[123s]" <<<"$switches"'
# Defines are not recorded; _FORTIFY_SOURCE shows in the checked calls it
# swaps in (the game's one libc output call is printf).
check "_FORTIFY_SOURCE: printf is the checked __printf_chk" 'grep -q "__printf_chk" <<<"$symbols"'
check "_FORTIFY_SOURCE: no plain printf left" '! grep -Eq " printf(@|$)" <<<"$symbols"'
exit $fail
