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
for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v $tool > /dev/null 2>&1; then
        echo "SKIP: $tool is missing (Debian package dpkg-dev)"
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
    ./usr/share/man/man1/Tessarin.1 ./usr/share/man/man1/tessarin-cli.1 \
    ./usr/share/bash-completion/completions/tessarin-cli; do
    grep -q " $file\$" "$work/contents" || fail "the package holds no $file"
done
# Built without root, installed as root's.
! grep -v ' root/root ' "$work/contents" | grep -q . || fail "files not owned by root in the package"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The Debian package declares its dependencies and holds the install tree."
