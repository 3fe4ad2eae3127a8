#!/usr/bin/env bash
# The build's refusal of includes that climb with "..": each line below is put alone into a
# source file of a scratch tree, and the check must refuse exactly the ones marked "refused".
#
# Usage: include_check.sh <cmake> <check_includes.cmake>
set -euo pipefail
cmake=$1
check=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
while IFS='|' read -r expected line; do
    rm -rf "$work/tree"
    mkdir -p "$work/tree/src/dictionary"
    printf '%s\n' "$line" >"$work/tree/src/dictionary/probe.cpp"
    if "$cmake" -DROOT="$work/tree" -DSTAMP="$work/stamp" -P "$check" >"$work/log" 2>&1; then
        got=accepted
    else
        got=refused
    fi
    if [ "$got" != "$expected" ]; then
        echo "FAIL: $line was $got" >&2
        status=1
    fi
done <<'CASES'
refused|#include "../app/startup.h"
refused|#include "dictionary/../app/startup.h"
refused|  #  include <../platform/error.h>
refused|#include "..\app\startup.h"
accepted|#include "dictionary/dictionary.h"
accepted|#include "dictionary/file..format.h"
accepted|#include <vector>
accepted|// see "../app/startup.h"
CASES
exit $status
