#!/usr/bin/env bash
# Checks built Windows modules with objdump: each must export exactly the two entry
# names, undecorated, and import only libraries that every Windows system has.
#   scripts/check-windows-dll.sh DLL...
set -euo pipefail
EXPECTED_EXPORTS=$'983BEDA12B2347028D99FF042C551640\n983BEDA12B2347028D99FF042C551640_done'
# Windows' own libraries, in lower case.
SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll comdlg32.dll comctl32.dll shell32.dll ole32.dll
oleaut32.dll advapi32.dll ws2_32.dll crypt32.dll msvcrt.dll shlwapi.dll uxtheme.dll version.dll
api-ms-win-crt-runtime-l1-1-0.dll"
status=0
for dll in "$@"; do
  if [ ! -f "$dll" ]; then
    echo "check-windows-dll: $dll is missing" >&2
    status=1
    continue
  fi
  dump=$(x86_64-w64-mingw32-objdump -p "$dll")
  # The export table lists "[Ordinal/Name Pointer] Table" entries as "[   n] +base N name".
  exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^\s*\[\s*[0-9]*\]\s*\(+base\[\s*[0-9]*\]\s*[0-9a-f]*\s*\)\{0,1\}//p' | sort)
  if [ "$exports" != "$EXPECTED_EXPORTS" ]; then
    echo "check-windows-dll: $dll exports:" >&2
    printf '%s\n' "$exports" >&2
    status=1
  fi
  imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for imp in $imports; do
    case " $(echo $SYSTEM_DLLS) " in
      *" $imp "*) ;;
      *) echo "check-windows-dll: $dll imports $imp, which is not a system library" >&2; status=1 ;;
    esac
  done
  [ "$status" -eq 0 ] && echo "check-windows-dll: $dll exports the two entry names and imports only: $(echo $imports)"
done
exit $status
