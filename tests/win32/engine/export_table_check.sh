#!/usr/bin/env bash
# DLL_MX40.DLL as a Windows caller finds it: exactly the download interface's four functions and
# the trace hook, by their plain names, and no runtime DLL beside the system's own.
# Usage: export_table_check.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
table=$("$objdump" -p "$dll")

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
expected=$(printf '%s\n' CheckMapCompat Mxl40_Download Mxl40_Init Mxl40_SetTrace Mxl40_StartStop)
if [ "$exports" != "$expected" ]; then
  echo "exports differ:"; diff <(echo "$expected") <(echo "$exports") || true
  exit 1
fi

imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$table" | tr 'a-z' 'A-Z' | sort -u)
for name in $imports; do
  case "$name" in
    KERNEL32.DLL | USER32.DLL | MSVCRT.DLL) ;;
    *) echo "DLL_MX40.DLL needs $name beside it"; exit 1 ;;
  esac
done
echo "exports: $(echo $exports); imports: $(echo $imports)"
