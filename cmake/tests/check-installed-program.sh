#!/usr/bin/env bash
# Runs the installed program in PREFIX as a user would after `make install` or installing the
# Debian packages: `tessmar-util paths` and `tessmar-util demo` must work on the sample install
# laid out in PREFIX/lib/tessmar-util/sample-install/, with the library from PREFIX, without
# LD_LIBRARY_PATH.
#
#   check-installed-program.sh PREFIX
set -euo pipefail
prefix=$1
program=$prefix/bin/tessmar-util
tree=$prefix/lib/tessmar-util/sample-install
fail() { echo "check-installed-program: $*" >&2; exit 1; }
unset LD_LIBRARY_PATH

paths=$("$program" paths --lang ja) || fail "tessmar-util paths failed: $paths"
expected="language                    ja
PATH_LOCALE_DIR             $tree/locales/ja
PATH_RESOURCE_DLL           $tree/locales/ja/ResourceRes.dll
PATH_HELP_FILE              $tree/locales/ja/TESSMAR.chm
PATH_LICENSE_FILE           $tree/locales/ja/license.txt
PATH_EXE_DAWNQUILL_FILE     $tree/dawnquill.txt
PATH_LOCALE_DAWNQUILL_FILE  $tree/locales/ja/dawnquill.txt"
[[ $paths == "$expected" ]] || fail "tessmar-util paths --lang ja printed:"$'\n'"$paths"
for file in $(sed -n 's/^PATH_[A-Z_]* *//p' <<<"$paths"); do
    [[ -e $file ]] || fail "$file, named by tessmar-util paths, is not installed"
done

demo=$("$program" demo 2>&1) || fail "tessmar-util demo failed:"$'\n'"$demo"
! grep -q 'step failed' <<<"$demo" || fail "a demo step failed:"$'\n'"$demo"
grep -q 'forced ja  *-> ja' <<<"$demo" || fail "the demo did not select ja:"$'\n'"$demo"
echo "check-installed-program: paths and demo work from $prefix"
