#!/usr/bin/env bash
# Compares what libUtil.so exports with the list kept in the repository, so that an export that
# appears or disappears by accident fails the suite.
#
#   check-exports.sh LIBRARY LIST            fails with the difference when they disagree
#   check-exports.sh LIBRARY LIST --update   rewrites LIST (commit it with the interface change)
#
# The list holds demangled names, one a line, sorted. Instantiations of the standard library's
# templates (std::vector<CString>::_M_realloc_insert, ...) are left out: the compiler emits them
# wherever its inlining puts a call, so they come and go with optimisation and compiler version
# and are not part of the interface a host uses.
set -euo pipefail
library=$1 list=$2 mode=${3:-check}

exports() {
    nm -D --defined-only -C "$library" |
        sed -E 's/^[0-9a-fA-F]* //' |
        grep -Ev '^[WVu] ([^ (]+ )?(std|__gnu_cxx)::' |
        cut -c3- | LC_ALL=C sort -u
}

if [[ $mode == --update ]]; then
    exports >"$list"
    echo "wrote $(wc -l <"$list") exports to $list"
    exit 0
fi
actual=$(exports)
if [[ -z $actual ]]; then
    echo "no exports read from $library" >&2
    exit 1
fi
if ! diff -u --label "$list (kept)" --label "$library (built)" "$list" - <<<"$actual"; then
    echo >&2
    echo "The exports of $library differ from $list ('-' only in the list, '+' only in the" >&2
    echo "library). If the change is intended, run 'make exports' and commit the list with it." >&2
    exit 1
fi
echo "$(wc -l <<<"$actual") exports match $list"
