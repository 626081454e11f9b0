#!/usr/bin/env bash
# The packages as a user gets them. The .deb: built by CPack, linted,
# installed with apt-get, its binaries' hardening checked, run (text mode
# without Qt, the window from the installed module), its manual page,
# desktop entry, data type and AppStream metadata checked, then removed.
# The 64-bit Windows zip: built by CPack, unpacked, run under wine64 from
# the unpacked folder, the executables' subsystems and resources checked
# with objdump. A few minutes.
source "$(dirname "$0")/../lib/stage.sh"
started=$SECONDS
export DEBIAN_FRONTEND=noninteractive

ensure_packages cmake make g++ qt6-base-dev libgl-dev dpkg-dev file lintian desktop-file-utils \
    appstream man-db shared-mime-info libglib2.0-bin binutils g++-mingw-w64-x86-64 \
    binutils-mingw-w64-x86-64 wine64

# Each check passes or ends the stage: later ones build on it.
checked=()
passed() { checked+=("$1"); echo "ok: $1"; tally 1 0; }
fail() { echo "FAILED: $*" >&2; tally 0 1; exit 1; }

# Release builds without tests or benchmarks (only what the packages hold),
# then the package.
package_build() { # PRESET
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j"$(nproc)" >/dev/null
    cpack --preset "$1" >/dev/null
}

work=$(mktemp -d)
export WINEPREFIX="$work/wineprefix"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    if dpkg-query -W quorvale >/dev/null 2>&1; then
        apt-get -o DPkg::Lock::Timeout=600 remove -y -q quorvale >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# --- The Debian package ---
deb_started=$SECONDS
build="$root/build-package"
rm -f "$build"/quorvale_*.deb
package_build package
deb=$(echo "$build"/quorvale_*_amd64.deb)
[[ -f "$deb" ]] || fail "no quorvale_<version>_amd64.deb"
passed "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# Errors and warnings fail; information tags are shown.
lintian_out=$(lintian --display-info "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[[ -n "$lintian_out" ]] && echo "$lintian_out"
grep -qE '^[EW]: ' <<<"$lintian_out" && fail "lintian reports errors or warnings"
passed "lintian: no error, no warning"

# The window engine: a module that only a window run loads, in the
# program's private folder under the multiarch library folder.
module=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quorvale/libquorvale-window.so
contents=$(dpkg-deb -c "$deb")
for path in usr/bin/quorvale "$module" usr/share/man/man1/quorvale.1.gz usr/share/doc/quorvale/copyright \
    usr/share/doc/quorvale/changelog.gz usr/share/doc/quorvale/examples/Data.txt \
    usr/share/applications/quorvale.desktop usr/share/metainfo/io.github.quorvale.Quorvale.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/quorvale.svg usr/share/icons/hicolor/48x48/apps/quorvale.png \
    usr/share/mime/packages/quorvale.xml; do
    grep -q " ./$path\$" <<<"$contents" || fail "the package lacks /$path"
done
passed "the package holds the program, window module, manual page, copyright, changelog, example, desktop entry, metainfo, icons and data type"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks the window module's Qt libraries: $depends"
passed "Depends holds the window module's Qt libraries: $depends"
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -qw 'qt6-wayland' <<<"$recommends" || fail "Recommends lacks qt6-wayland: '$recommends'"
passed "Recommends qt6-wayland, Qt's Wayland platform: $recommends"

(cd "$build" && apt-get -o DPkg::Lock::Timeout=600 install -y -q "./$(basename "$deb")" >/dev/null)
passed "apt-get install ./$(basename "$deb")"
file /usr/bin/quorvale | grep -q ', stripped' || fail "/usr/bin/quorvale is not stripped"
passed "/usr/bin/quorvale is stripped"
file -L "/$module" | grep -q ', stripped' || fail "/$module is not stripped"
passed "/$module is stripped"
bash "$root/tests/packaging/check-hardening.sh" /usr/bin/quorvale "/$module" ||
    fail "the installed binaries are not hardened as Debian's are"
passed "/usr/bin/quorvale and /$module: PIE, full RELRO, stack protector, fortified"

(cd "$work" && quorvale --text /usr/share/doc/quorvale/examples/Data.txt >deb.out)
(cd "$root/examples" && "$build/app/quorvale" --text) | cmp -s - "$work/deb.out" ||
    fail "installed quorvale --text differs from the build on the example"
grep -q '^Output List 1$' "$work/deb.out" || fail "installed quorvale --text printed no lists"
[[ -z "$(ls -A "$work" | grep -v -e '^deb.out$' -e '^wineprefix$')" ]] || fail "the run wrote a file"
passed "installed quorvale --text on the installed example ($(wc -l <"$work/deb.out") lines)"
# Text mode loads no Qt: the dynamic loader names every library it maps.
loaded=$(cd "$work" && LD_DEBUG=files quorvale --text /usr/share/doc/quorvale/examples/Data.txt 2>&1 >/dev/null)
grep -q 'file=libc\.so\.6' <<<"$loaded" || fail "LD_DEBUG=files reports no library at all"
grep -qE 'file=[^ ]*(libQt6|libicu|quorvale-window)' <<<"$loaded" &&
    fail "installed quorvale --text loads Qt: $(grep -oE 'file=[^ ]*(libQt6|libicu|quorvale-window)[^ ]*' <<<"$loaded" | sort -u | tr '\n' ' ')"
passed "installed quorvale --text maps neither Qt, ICU nor the window module"

# The window opens from the installed module: two seconds later the run is
# still in its event loop (any failure ends it at once, with status 1) and has
# the module and Qt mapped.
(cd "$work" && QT_QPA_PLATFORM=offscreen exec quorvale /usr/share/doc/quorvale/examples/Data.txt \
    >window.out 2>window.err) &
window_pid=$!
sleep 2
window_maps=$(cat "/proc/$window_pid/maps" 2>/dev/null || true)
kill "$window_pid" 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true
# An ended run (a zombie until waited for) has no mappings.
[[ -n "$window_maps" ]] || fail "installed quorvale showed no window: $(cat "$work/window.err")"
grep -q " /$module\$" <<<"$window_maps" || fail "the window run has not mapped /$module"
grep -q '/libQt6Widgets\.so' <<<"$window_maps" || fail "the window run has not mapped Qt Widgets"
[[ -s "$work/window.err" ]] && fail "the window run wrote to standard error: $(cat "$work/window.err")"
rm -f "$work/window.out" "$work/window.err"
passed "installed quorvale shows its window (offscreen) from /$module"
quorvale --version | grep -q 'Copyright (c) 2026 The Quorvale developers' || fail "--version lacks the copyright"
quorvale --version | grep -q 'MIT' || fail "--version lacks the licence"
passed "quorvale --version names the copyright and the MIT licence"

man_page=$(man -w quorvale) || fail "man -w quorvale finds no page"
passed "man -w quorvale: $man_page"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l -Tutf8 "$man_page" 2>&1 >/dev/null || true)
[[ -z "$warnings" ]] || fail "the manual page gives groff warnings: $warnings"
passed "the manual page renders without warnings"
desktop-file-validate /usr/share/applications/quorvale.desktop
grep -qx 'Exec=quorvale %f' /usr/share/applications/quorvale.desktop || fail "Exec lacks %f"
passed "desktop-file-validate /usr/share/applications/quorvale.desktop"
# The program's own data type, a kind of plain text, recognised by name:
# the desktop entry claims it and no general type. GIO answers as a file
# manager would, on its local files only and without a session bus.
mime_types=$(sed -n 's/^MimeType=//p' /usr/share/applications/quorvale.desktop)
[[ $mime_types == "text/x-quorvale-data;" ]] || fail "the desktop entry claims '$mime_types'"
mkdir "$work/mime"
cp /usr/share/doc/quorvale/examples/Data.txt "$work/mime/Data.txt"
cp /usr/share/doc/quorvale/examples/Data.txt "$work/mime/notes.txt"
content_type() {
    GIO_USE_VFS=local DBUS_SESSION_BUS_ADDRESS=disabled: gio info -a standard::content-type "$1" |
        awk '$1 == "standard::content-type:" { print $2 }'
}
[[ $(content_type "$work/mime/Data.txt") == text/x-quorvale-data ]] ||
    fail "Data.txt is $(content_type "$work/mime/Data.txt"), not text/x-quorvale-data"
[[ $(content_type "$work/mime/notes.txt") == text/plain ]] ||
    fail "another text file is $(content_type "$work/mime/notes.txt"), not text/plain"
grep -qx 'text/x-quorvale-data text/plain' /usr/share/mime/subclasses ||
    fail "text/x-quorvale-data is not a kind of text/plain"
handlers() { GIO_USE_VFS=local DBUS_SESSION_BUS_ADDRESS=disabled: gio mime "$1"; }
# The desktop database's trigger may still be writing its cache.
offered() {
    local try
    for try in $(seq 20); do
        handlers text/x-quorvale-data | grep -q 'quorvale\.desktop' && return 0
        sleep 0.5
    done
    return 1
}
offered || fail "Data.txt is not offered to Quorvale: $(handlers text/x-quorvale-data | tr '\n' ' ')"
handlers text/plain | grep -q 'quorvale\.desktop' && fail "every text file is offered to Quorvale"
rm -r "$work/mime"
passed "Data.txt is text/x-quorvale-data (a kind of text/plain) and opens with Quorvale; other text is not claimed"
appstreamcli validate --no-net /usr/share/metainfo/io.github.quorvale.Quorvale.metainfo.xml
passed "appstreamcli validate --no-net"

apt-get -o DPkg::Lock::Timeout=600 remove -y -q quorvale >/dev/null
[[ ! -e /usr/bin/quorvale ]] || fail "/usr/bin/quorvale is left after removal"
[[ ! -e "/$module" ]] || fail "/$module is left after removal"
passed "apt-get remove quorvale leaves no program or module behind"
deb_seconds=$((SECONDS - deb_started))

# --- The 64-bit Windows zip ---
zip_started=$SECONDS
build="$root/build-package-windows-x64"
rm -f "$build"/quorvale-*.zip
package_build package-windows-x64
zip=$(echo "$build"/quorvale-*-win64.zip)
[[ -f "$zip" ]] || fail "no quorvale-<version>-win64.zip"
cmake -E chdir "$work" cmake -E tar xf "$zip"
folder="$work/$(basename "$zip" .zip)"
listing=$(cd "$folder" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
echo "zip contents: $listing"
[[ "$listing" == "Data.txt LICENSE README.txt quorvale.com quorvale.exe " ]] ||
    fail "unexpected zip contents: $listing"
passed "$(basename "$zip"): quorvale.exe, quorvale.com, LICENSE, README.txt, Data.txt"

objdump=x86_64-w64-mingw32-objdump
subsystem() { "$objdump" -p "$1" | awk '/^Subsystem/ { print $2 + 0 }'; }
[[ $(subsystem "$folder/quorvale.exe") == 2 ]] || fail "quorvale.exe is not a GUI program"
[[ $(subsystem "$folder/quorvale.com") == 3 ]] || fail "quorvale.com is not a console program"
passed "quorvale.exe is a GUI program (subsystem 2), quorvale.com a console one (subsystem 3)"
for exe in quorvale.exe quorvale.com; do
    "$objdump" -f "$folder/$exe" | grep -q 'file format pei-x86-64' || fail "$exe is not PE32+ x86-64"
    # The resource directory's types: 3 icon, 14 group icon, 16 version, 24 manifest.
    types=$("$objdump" -p "$folder/$exe" |
        sed -n 's/^[0-9a-f]*   Entry: ID: \(0x[0-9a-f]*\).*/\1/p' | xargs printf '%d ' || true)
    [[ "$types" == "3 14 16 24 " ]] || fail "$exe resource types are '$types', not icon, group icon, version, manifest"
    strings -el "$folder/$exe" | grep -qx 'Copyright (c) 2026 The Quorvale developers' ||
        fail "$exe has no copyright in its version information"
done
passed "both executables carry icon, version information (with copyright) and manifest resources"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY='' "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
"$wineserver" -p 2>/dev/null || true
linux="$work/linux.out"
(cd "$folder" && "$root/build-package/app/quorvale" --text >"$linux")
for exe in quorvale.com quorvale.exe; do
    (cd "$folder" && DISPLAY='' "$wine" "./$exe" --text </dev/null >"$work/$exe.out")
    cmp "$linux" "$work/$exe.out" || fail "$exe --text differs from the Linux build"
done
passed "unpacked quorvale.com and quorvale.exe --text: byte-identical to the Linux build ($(wc -c <"$linux") bytes)"
(cd "$folder" && DISPLAY='' "$wine" ./quorvale.com --version </dev/null) | tee "$work/version.out"
grep -q 'Copyright (c) 2026 The Quorvale developers' "$work/version.out" || fail "--version under wine64"
passed "unpacked quorvale.com --version under wine64"
zip_seconds=$((SECONDS - zip_started))

echo "Checked:"
printf '  - %s\n' "${checked[@]}"
echo "Packages stage took $((SECONDS - started)) s (.deb ${deb_seconds} s, Windows zip ${zip_seconds} s)"
