#!/bin/bash
# Makes the Debian package from the build (cpack -G DEB, no root needed) and
# checks what it declares and holds.
# Usage: check-deb.sh BUILD_DIR VERSION
set -u
build=$(cd "$1" && pwd) version=$2
id=example.vellumar.Tessarin
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for program in app/Tessarin cli/tessarin-cli; do
    if [ ! -x "$build/$program" ]; then
        echo "SKIP: $build/$program is not built (build Tessarin and tessarin-cli first)"
        exit 77
    fi
done
# cpack's Debian generator runs file to find the programs for dpkg-shlibdeps.
for tool in dpkg-deb:dpkg-dev dpkg-shlibdeps:dpkg-dev dpkg-parsechangelog:dpkg-dev file:file; do
    if ! command -v ${tool%:*} > /dev/null 2>&1; then
        echo "SKIP: ${tool%:*} is missing (Debian package ${tool#*:})"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessarin-deb-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
debs=("$work"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack made no single .deb: ${debs[*]}"
    exit 1
fi
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = tessarin ] || fail "the package is not named tessarin"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libc6 qt6-qpa-plugins; do
    grep -q "\b$needed\b" <<< "$depends" || fail "Depends names no $needed"
done

dpkg-deb -c "$deb" > "$work/contents"
icons=./usr/share/icons/hicolor
for file in ./usr/bin/Tessarin ./usr/bin/tessarin-cli ./usr/share/tessarin/tessarin-help.html \
    ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/mime/packages/tessarin-locked.xml $icons/scalable/apps/$id.svg \
    $icons/256x256/apps/$id.png $icons/16x16/apps/$id.png \
    $icons/scalable/mimetypes/application-x-tessarin-locked.svg \
    ./usr/share/man/man1/Tessarin.1.gz ./usr/share/man/man1/tessarin-cli.1.gz \
    ./usr/share/bash-completion/completions/tessarin-cli \
    ./usr/share/doc/tessarin/copyright ./usr/share/doc/tessarin/changelog.gz; do
    grep -q " $file\$" "$work/contents" || fail "the package holds no $file"
done
! grep -E ' \./usr/share/man/.*\.[0-9]$' "$work/contents" || fail "man pages not gzipped"
# Built without root, installed as root's.
! grep -v ' root/root ' "$work/contents" | grep -q . || fail "files not owned by root in the package"

root=$work/root
dpkg-deb -x "$deb" "$root"
# Every gzipped file as gzip -9n makes it: whole, at the best compression
# (XFL 2), and with neither the file's name (flag bit 3) nor its time in the
# header, which would make two builds' packages differ.
while IFS= read -r -d '' gz; do
    name=${gz#"$root"}
    gzip -t "$gz" 2> /dev/null || fail "$name is not whole gzip"
    read -r _ _ _ flags t1 t2 t3 t4 xfl _ < <(od -An -tu1 -N10 "$gz")
    ((flags & 8)) && fail "$name keeps its file name in the gzip header"
    [ "$t1$t2$t3$t4" = 0000 ] || fail "$name keeps a time in the gzip header"
    [ "$xfl" = 2 ] || fail "$name is not compressed with -9"
done < <(find "$root" -name '*.gz' -print0)

# The copyright file in Debian's machine-readable form, one paragraph for
# every file, with its license.
copyright=$root/usr/share/doc/tessarin/copyright
if [ -f "$copyright" ]; then
    head -n1 "$copyright" |
        grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file does not start with its Format line"
    awk '/^Files: \*$/ {files = 1} files && /^Copyright: ./ {c = 1} files && /^License: ./ {l = 1}
         /^$/ {files = 0} END {exit !(c && l)}' "$copyright" ||
        fail "the copyright file has no 'Files: *' paragraph with Copyright and License"
fi
# A package without a Debian revision is its own changelog's source: the
# newest entry names this package and version (a release adds one to
# packaging/changelog).
if [ -f "$root/usr/share/doc/tessarin/changelog.gz" ]; then
    gzip -dc "$root/usr/share/doc/tessarin/changelog.gz" > "$work/changelog"
    entry="$(dpkg-parsechangelog -l "$work/changelog" -S Source 2>&1) $(
        dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1)"
    [ "$entry" = "tessarin $version" ] ||
        fail "the changelog's newest entry is '$entry', not tessarin $version"
fi

# The programs as built hardened (cmake/hardening.cmake): position-independent
# (ELF type DYN), relocations read-only (GNU_RELRO) and bound at start (NOW),
# stack canaries (__stack_chk_fail) and fortified C library calls (__*_chk).
# What is read back is shown.
if command -v readelf > /dev/null 2>&1; then
    for program in Tessarin tessarin-cli; do
        binary=$root/usr/bin/$program
        [ -f "$binary" ] || continue
        type=$(readelf -hW "$binary" | sed -n 's/^ *Type: *\([A-Z]*\).*/\1/p')
        dynamic=$(readelf -dW "$binary")
        flags=$(sed -n 's/.*(FLAGS) *//p' <<< "$dynamic" | xargs)
        flags1=$(sed -n 's/.*(FLAGS_1) *Flags: *//p' <<< "$dynamic" | xargs)
        relro=$(readelf -lW "$binary" | grep -c '^ *GNU_RELRO')
        imported=$(readelf --dyn-syms -W "$binary" | awk '$7 == "UND" {sub(/@.*/, "", $8); print $8}')
        checked=$(grep -E '^__[a-z0-9_]+_chk(_fail)?$' <<< "$imported" | sort -u | xargs)
        echo "$program: ELF type $type; FLAGS ${flags:-none}; FLAGS_1 ${flags1:-none};" \
            "GNU_RELRO segments $relro; imports $checked"
        [ "$type" = DYN ] || fail "$program is not position-independent (ELF type $type)"
        grep -qw NOW <<< "$flags1" || grep -qw BIND_NOW <<< "$flags" ||
            fail "$program does not bind its symbols at start (no BIND_NOW)"
        [ "$relro" -ge 1 ] || fail "$program has no GNU_RELRO segment"
        grep -qx __stack_chk_fail <<< "$imported" ||
            fail "$program imports no __stack_chk_fail (no stack protector)"
        grep -vx __stack_chk_fail <<< "$imported" | grep -qE '^__[a-z0-9_]+_chk$' ||
            fail "$program imports no fortified call (__*_chk)"
    done
else
    fail "readelf is missing (Debian package binutils): the programs' hardening is not read"
fi

# Debian's own checks: errors fail, warnings are shown.
if command -v lintian > /dev/null 2>&1; then
    lintian "$deb" > "$work/lintian" 2>&1
    status=$?
    grep -v '^running with root privileges' "$work/lintian"
    # 2 is its own verdict on errors, read from the tags below; 1 is its failing to run.
    [ $status -ne 1 ] || fail "lintian could not check the package"
    ! grep -q '^E:' "$work/lintian" || fail "lintian reports errors"
else
    echo "SKIP: lintian is missing (Debian package lintian): the package is not linted"
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The Debian package declares its dependencies and holds the install tree."
