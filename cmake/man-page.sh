#!/usr/bin/env bash
# Writes the man page of tessmar-util from its --help (help2man), and a compressed copy for the
# Debian package (gzip -n: no name or time stamp, so the same page gives the same bytes).
#
#   man-page.sh PROGRAM INCLUDE_FILE OUTPUT.1
set -euo pipefail
program=$1 include=$2 page=$3
help2man --no-info --section=1 --source=Tessmar \
    --name="the services of the Util library from the command line" \
    --include="$include" --output="$page.tmp" "$program"
# help2man fills the usage block into one paragraph; keep one synopsis per line.
sed -i -e '/^\.SS "Usage:"/,/^\.SS/s/^tessmar\\-util .*/&\n.br/' "$page.tmp"
mv "$page.tmp" "$page"
gzip -9 -n -c "$page" >"$page.gz"
