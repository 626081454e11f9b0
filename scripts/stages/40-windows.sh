#!/usr/bin/env bash
# The 32-bit Windows build: cross-builds quorvale.exe and its tests with
# MinGW, checks that the .exe needs no DLL beyond the system's, and runs the
# unit tests, the end-to-end cases and a comparison with the Linux build
# under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
started=$SECONDS

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" dpkg --add-architecture i386
    "${sudo[@]}" apt-get update -q
fi
ensure_packages cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest wine wine32:i386

build="$root/build-windows"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake"
cmake --build "$build" -j"$(nproc)"
exe="$build/app/quorvale.exe"

# A PE32 for Intel 80386 that imports system DLLs only.
objdump=i686-w64-mingw32-objdump
"$objdump" -f "$exe" | grep -q "file format pei-i386" || { echo "not a PE32 i386 file"; exit 1; }
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "quorvale.exe imports:" $imports
for dll in $imports; do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | ole32.dll | msvcrt.dll) ;;
    *) echo "quorvale.exe imports a non-system DLL: $dll"; exit 1 ;;
    esac
done

# A private, throw-away Wine prefix, set up without a display or questions.
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
DISPLAY='' wineboot -i </dev/null >/dev/null 2>&1 || true
wineserver -p 2>/dev/null || true # keep it running between the many short runs
# Windows without a display: the window engine's tests create real windows.
DISPLAY='' wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null
DISPLAY='' wine "$exe" --version </dev/null

DISPLAY='' ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 120 </dev/null

# Byte for byte the output of the Linux build on the example data.
linux="$root/build/app/quorvale"
if [[ ! -x "$linux" ]]; then
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release
    cmake --build "$root/build" -j"$(nproc)" --target quorvale
fi
work=$(mktemp -d)
cp "$root/examples/Data.txt" "$work/"
(cd "$work" && "$linux" --text >linux.out && DISPLAY='' wine "$exe" --text </dev/null >windows.out)
cmp "$work/linux.out" "$work/windows.out"
echo "quorvale.exe --text matches the Linux build ($(wc -l <"$work/linux.out") lines)"
rm -rf "$work"
echo "Windows stage took $((SECONDS - started)) s"
