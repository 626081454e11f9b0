#!/usr/bin/env bash
# The Windows builds. The 64-bit one is built and tested on every run: its
# shape, its imports, the unit tests, the end-to-end cases and a byte
# comparison of --text with the Linux build, under 64-bit Wine. The 32-bit one
# is built and its shape checked; its tests run under 32-bit Wine only where
# the kernel can start 32-bit programs at all.
source "$(dirname "$0")/../lib/stage.sh"

ensure_packages cmake make g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 g++-mingw-w64-i686 \
    binutils-mingw-w64-i686 googletest wine64

# A PE file of the given format that imports system DLLs only.
check_shape() { # EXE OBJDUMP FORMAT
    local exe=$1 objdump=$2 format=$3 imports dll
    "$objdump" -f "$exe" | grep -q "file format $format" || {
        echo "$exe is not $format"
        return 1
    }
    imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    echo "$(basename "$exe") ($format) imports:" $imports
    for dll in $imports; do
        case $dll in
        kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | ole32.dll | msvcrt.dll) ;;
        *) echo "it imports a non-system DLL: $dll"; return 1 ;;
        esac
    done
}

# A private, throw-away Wine prefix, set up without a display or questions.
start_wine() { # LOADER
    wine_loader=$1
    export WINEPREFIX WINELOADER=$1
    WINEPREFIX=$(mktemp -d)
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY='' "$wine_loader" wineboot -i </dev/null >/dev/null 2>&1 || true
    # The engine tests create real windows: with no display, the null driver.
    DISPLAY='' "$wine_loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        </dev/null >/dev/null 2>&1 || true
    # The desktop process started by the boot has no driver; only a fresh
    # start reads the setting. The services start again here, where their
    # output goes nowhere, not with the first test, whose pipes they would
    # hold open.
    # The server beside the loader: wine64 puts none on PATH.
    local server
    server="$(dirname "$wine_loader")/wineserver"
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
    DISPLAY='' "$wine_loader" wineboot </dev/null >/dev/null 2>&1 || true
    "$server" -p 2>/dev/null || true # kept running between the many short runs
}

stop_wine() {
    [[ -n ${WINEPREFIX:-} ]] || return 0
    # The server beside the loader (wine64 puts none on PATH): its processes
    # must be gone before their prefix is removed, or they write into it
    # while it goes.
    local server
    server="$(dirname "$wine_loader")/wineserver"
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX" 2>/dev/null || { sleep 2; rm -rf "$WINEPREFIX"; }
    WINEPREFIX=
}
trap stop_wine EXIT

# Byte for byte the output of the Linux build on the example data.
same_text_as_linux() { # EXE
    local work status=0
    work=$(mktemp -d)
    cp "$root/examples/Data.txt" "$work/"
    (cd "$work" && "$linux" --text >linux.out &&
        DISPLAY='' "$wine_loader" "$1" --text </dev/null >windows.out) &&
        cmp "$work/linux.out" "$work/windows.out" || status=$?
    [[ $status -eq 0 ]] && echo "--text matches the Linux build ($(wc -l <"$work/linux.out") lines)"
    rm -rf "$work"
    return "$status"
}

# The tests of one cross-build under the Wine already started.
test_under_wine() { # PRESET
    DISPLAY='' "$wine_loader" "$root/build-$1/app/quorvale.exe" --version </dev/null
    run_ctest --preset "$1" -j"$(nproc)" </dev/null
    check "$1: quorvale.exe --text is the Linux build's" same_text_as_linux "$root/build-$1/app/quorvale.exe"
    check "$1: quorvale.com --text is the Linux build's" same_text_as_linux "$root/build-$1/app/quorvale.com"
}

# True when this kernel starts a 32-bit x86 program: a 96-byte static ELF
# that only exits with status 42. Kernels without 32-bit emulation refuse it
# with "Exec format error".
can_run_32bit() {
    local probe status=0
    probe=$(mktemp)
    # ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [[ $status -eq 42 ]]
}

# Installs 32-bit Wine, adding the i386 architecture for it if need be. The
# i386 lists of a mirror can lag behind their amd64 twins, so that it cannot
# be installed at all: then it prints why on standard output and fails,
# leaving the package sources as it found them. Everything else it says goes
# to standard error.
install_wine32() {
    local added=no simulation
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386 >&2
        added=yes
    fi
    refresh_package_lists >&2
    if simulation=$(apt_get install -s -q --no-install-recommends wine32:i386 2>&1) &&
        ensure_packages wine32:i386 >&2; then
        return 0
    fi
    local reason
    reason=$(sed -n 's/^E: //p' <<<"$simulation" | tail -1)
    echo "wine32:i386 cannot be installed${reason:+ (apt-get: $reason)}"
    if [[ $added == yes ]]; then
        apt_get purge -y -q --allow-remove-essential '?architecture(i386)' >&2 || true
        as_root dpkg --remove-architecture i386 >&2
        refresh_package_lists >&2
    fi
    return 1
}

linux="$root/build/app/quorvale"
if [[ ! -x $linux ]]; then
    ensure_build_packages
    cmake --preset release
    cmake --build --preset release -j"$(nproc)" --target quorvale
fi

# 64-bit: built, shaped and tested on every run.
cmake --preset windows-x64
cmake --build --preset windows-x64 -j"$(nproc)"
check "windows-x64: PE32+ x86-64, system DLLs only" \
    check_shape build-windows-x64/app/quorvale.exe x86_64-w64-mingw32-objdump pei-x86-64
start_wine /usr/lib/wine/wine64
test_under_wine windows-x64
stop_wine

# 32-bit: built and shaped on every run, tested where the kernel allows.
cmake --preset windows-x86
cmake --build --preset windows-x86 -j"$(nproc)"
check "windows-x86: PE32 Intel 80386, system DLLs only" \
    check_shape build-windows-x86/app/quorvale.exe i686-w64-mingw32-objdump pei-i386
if ! can_run_32bit; then
    echo "SKIPPED: the 32-bit Windows run (its tests under 32-bit Wine): this machine's kernel cannot start 32-bit programs"
    tally 0 0 1
    exit 0
fi
if ! why=$(install_wine32); then
    echo "SKIPPED: the 32-bit Windows run (its tests under 32-bit Wine): $why"
    tally 0 0 1
    exit 0
fi
cmake --preset windows-x86 # finds the 32-bit loader now installed
start_wine /usr/lib/wine/wine
test_under_wine windows-x86
