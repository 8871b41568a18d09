#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Usage: exported_symbols.sh LIBRARY HEADER [NM]
# A shared librgb exports exactly the functions its header declares with
# RGB_API and nothing else: a declared function missing breaks programs
# built against the header, and anything more becomes an interface nobody
# promised. Lists the difference and fails when there is one.
set -euo pipefail
library=$1
header=$2
nm=${3:-nm}

declared=$(sed -n 's/^RGB_API [^(]*[ *]\([a-zA-Z_0-9]*\)(.*/\1/p' "$header" | sort -u)
if [[ -z $declared ]]; then
  echo "exported_symbols.sh: no RGB_API function found in $header" >&2
  exit 1
fi
symbols=$("$nm" -D --defined-only "$library")
exported=$(awk '$2 == "T" { print $3 }' <<<"$symbols" | sort -u)
# Anything else defined (data, weak or indirect functions); "A" are the
# version markers of the dynamic section.
others=$(awk '$2 != "T" && $2 != "A"' <<<"$symbols")

missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
status=0
if [[ -n $missing ]]; then
  echo "declared in $header but not exported by $library:" $missing >&2
  status=1
fi
if [[ -n $extra ]]; then
  echo "exported by $library but not declared in $header:" $extra >&2
  status=1
fi
if [[ -n $others ]]; then
  echo "exported by $library besides functions:" >&2
  echo "$others" >&2
  status=1
fi
[[ $status -eq 0 ]] && echo "$library exports the $(wc -l <<<"$declared") functions of $header"
exit $status
