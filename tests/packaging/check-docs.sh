#!/usr/bin/env bash
# The documents that ship beside the program agree with it: every option of
# --help is in the manual page, every key it lists is in the manual page and
# the README's keys, and the version and copyright that --version
# prints are those of the manual page, the Debian changelog, the AppStream
# release and LICENSE.
#
# usage: check-docs.sh SOURCE_DIR PROGRAM [PROGRAM_ARGS...]
set -u
source_dir=$1
shift
program=("$@")

failed=0
fail() { echo "$*"; failed=1; }

help=$("${program[@]}" --help </dev/null | tr -d '\r')
version_text=$("${program[@]}" --version </dev/null | tr -d '\r')
man_page="$source_dir/docs/man/quorvale.1"
# The manual page writes every hyphen of an option as \-.
man_text=$(sed 's/\\-/-/g' "$man_page")

options=$(grep -oE -- '--[a-z]+' <<<"$help" | sort -u)
[[ -n "$options" ]] || fail "--help lists no option"
for option in $options; do
    grep -qF -- "$option" <<<"$man_text" || fail "the manual page lacks $option"
done

# Every key that --help lists is in the manual page and the README's keys.
keys=$(sed -n '/^Keys in the window:/,/^$/s/^  \(.*[^ ]\)  .*/\1/p' <<<"$help" | sed 's/, /\n/g')
[[ -n "$keys" ]] || fail "--help lists no key"
readme_keys=$(sed -n '/^## Keys/,/^## /p' "$source_dir/README.md")
while IFS= read -r key; do
    grep -qiF -- "$key" <<<"$man_text" || fail "the manual page lacks the key $key"
    grep -qiF -- "$key" <<<"$readme_keys" || fail "the README's keys lack $key"
done <<<"$keys"

version=$(head -1 <<<"$version_text" | awk '{ print $2 }')
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no version in '$(head -1 <<<"$version_text")'"
grep -q "^\.TH QUORVALE 1 .*\"quorvale $version\"" "$man_page" || fail "manual page is not for $version"
head -1 "$source_dir/packaging/changelog" | grep -q "^quorvale ($version) " ||
    fail "packaging/changelog does not start with $version"
grep -q "<release version=\"$version\"" "$source_dir/app/desktop/io.github.quorvale.Quorvale.metainfo.xml" ||
    fail "the AppStream metadata has no release $version"

copyright=$(grep -m1 '^Copyright (c) ' "$source_dir/LICENSE")
grep -qxF -- "$copyright" <<<"$version_text" || fail "--version lacks '$copyright'"
grep -q '^License: MIT ' <<<"$version_text" || fail "--version does not name the MIT licence"

grep -qx 'Exec=quorvale %f' "$source_dir/app/desktop/quorvale.desktop" ||
    fail "the desktop entry does not pass the file"

# The desktop entry claims only types that the program defines for its own
# data: a general one (text/plain) would make it every such file's default.
desktop_types=$(sed -n 's/^MimeType=//p' "$source_dir/app/desktop/quorvale.desktop" | tr ';' ' ')
[[ -n ${desktop_types// /} ]] || fail "the desktop entry claims no type"
for type in $desktop_types; do
    grep -q "<mime-type type=\"$type\">" "$source_dir/app/desktop/quorvale-mime.xml" ||
        fail "the desktop entry claims $type, which quorvale-mime.xml does not define"
done

[[ $failed -eq 0 ]] && echo "documents agree with quorvale $version (options: $(echo $options); keys: $(echo $keys | tr '\n' ' '))"
exit $failed
