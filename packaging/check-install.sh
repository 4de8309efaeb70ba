#!/bin/bash
# Installs the build into a fresh staging folder and checks what a desktop
# finds there: every file in place, the desktop entry, metainfo and MIME type
# accepted by the desktop's own tools, the completion and the installed
# command line working, and nothing pointing back into the source or build
# folder. A missing tool skips its check, saying so.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR VERSION
set -u
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd) version=$3
id=example.vellumar.Tessarin
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIP: $*"; }
have() { command -v "$1" > /dev/null 2>&1; }

for program in app/Tessarin cli/tessarin-cli; do
    if [ ! -x "$build/$program" ]; then
        echo "SKIP: $build/$program is not built (build Tessarin and tessarin-cli first)"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tessarin-install-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
stage=$work/stage
# Stripped, as the package is: a build with debug information names its
# source files, which no installed program reads.
if ! cmake --install "$build" --prefix "$stage" --strip > "$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install $build --prefix $stage --strip"
    exit 1
fi

# Every file, where the desktop (and the program: bin/../share/tessarin for
# its help page) looks for it.
icons=share/icons/hicolor
for file in bin/Tessarin bin/tessarin-cli share/tessarin/tessarin-help.html \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/mime/packages/tessarin-locked.xml $icons/scalable/apps/$id.svg \
    $icons/scalable/mimetypes/application-x-tessarin-locked.svg \
    share/man/man1/Tessarin.1.gz share/man/man1/tessarin-cli.1.gz \
    share/bash-completion/completions/tessarin-cli \
    share/doc/tessarin/copyright share/doc/tessarin/changelog.gz; do
    [ -f "$stage/$file" ] || fail "$file is not installed"
done
for program in Tessarin tessarin-cli; do
    [ -x "$stage/bin/$program" ] || fail "bin/$program is not executable"
done
for size in 16 24 32 48 64 128 256; do
    png=$icons/${size}x${size}/apps/$id.png
    if [ ! -f "$stage/$png" ]; then
        fail "$png is not installed"
        continue
    fi
    # Width and height: the first two numbers of the PNG header chunk.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$stage/$png")
    width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))
    height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$width x $height" = "$size x $size" ] || fail "$png is $width x $height"
done

# The desktop entry and the metainfo, as the desktop's tools read them.
if have desktop-file-validate; then
    out=$(desktop-file-validate "$stage/share/applications/$id.desktop" 2>&1)
    if [ $? -ne 0 ] || grep -qiE 'error|warning' <<< "$out"; then
        fail "desktop-file-validate: $out"
    fi
else
    skip "desktop-file-validate is missing (Debian package desktop-file-utils)"
fi
grep -q '^Exec=Tessarin --lock %F$' "$stage/share/applications/$id.desktop" &&
    grep -q '^Exec=Tessarin --unlock %F$' "$stage/share/applications/$id.desktop" &&
    grep -q '^MimeType=application/x-tessarin-locked;$' "$stage/share/applications/$id.desktop" ||
    fail "the desktop entry lacks the Lock and Unlock actions or the locked files' type"
if have appstreamcli; then
    out=$(appstreamcli validate --no-net "$stage/share/metainfo/$id.metainfo.xml" 2>&1) ||
        fail "appstreamcli validate: $out"
else
    skip "appstreamcli is missing (Debian package appstream)"
fi
grep -q "<release version=\"$version\"" "$stage/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo has no release $version: add it to its <releases>"

# The MIME type: a database made from the installed XML alone, then what
# GLib (which most file managers build on) makes of some files.
if have update-mime-database; then
    mkdir -p "$work/data/mime/packages" "$work/home"
    export XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/data:/usr/local/share:/usr/share
    cp "$stage/share/mime/packages/tessarin-locked.xml" "$work/data/mime/packages/"
    if ! out=$(update-mime-database "$work/data/mime" 2>&1) || [ -n "$out" ]; then
        fail "update-mime-database: $out"
    fi
    grep -q '<comment>Locked file</comment>' \
        "$work/data/mime/application/x-tessarin-locked.xml" 2> /dev/null ||
        fail "update-mime-database made no type application/x-tessarin-locked"
    if have gio; then
        mkdir "$work/files"
        printf '\x8f\x02\x41 locked bytes' > "$work/files/ercbeg.gkt.VKL"
        printf '\x8f\x02\x41 locked bytes' > "$work/files/ercbeg.gkt.vkw"
        printf 'age-encryption.org/v1\n-> X25519 sealed' > "$work/files/k2mzq7.VKS"
        printf 'age-encryption.org/v1\n-> X25519 sealed' > "$work/files/plain.age"
        printf '[Secret]0123456789abcdef rest' > "$work/files/renamed"
        printf '\x8f\x02\x41 other bytes' > "$work/files/other.bin"
        for expected in ercbeg.gkt.VKL:application/x-tessarin-locked \
            ercbeg.gkt.vkw:application/x-tessarin-locked \
            k2mzq7.VKS:application/x-tessarin-locked plain.age:other \
            renamed:application/x-tessarin-locked other.bin:other; do
            file=${expected%%:*} type=${expected#*:}
            got=$(gio info -a standard::content-type "$work/files/$file" 2>&1 |
                sed -n 's/^ *standard::content-type: //p')
            if [ "$type" = other ]; then
                [ "$got" != application/x-tessarin-locked ] || fail "gio takes $file for a locked file"
            else
                [ "$got" = "$type" ] || fail "gio gives $file the type '$got', not $type"
            fi
        done
        # File managers offer the program for locked files: GLib reads the
        # entries' index (made by the package's trigger, here by hand) and
        # lists only a program it finds on the PATH.
        if have update-desktop-database; then
            mkdir -p "$work/desktop"
            cp -r "$stage/share/applications" "$work/desktop/"
            update-desktop-database "$work/desktop/applications"
            PATH=$stage/bin:$PATH XDG_DATA_DIRS=$work/desktop:$XDG_DATA_DIRS \
                gio mime application/x-tessarin-locked > "$work/handlers" 2>&1
            grep -q "$id.desktop" "$work/handlers" ||
                fail "gio offers no Tessarin for locked files: $(cat "$work/handlers")"
        else
            skip "update-desktop-database is missing (Debian package desktop-file-utils)"
        fi
    else
        skip "gio is missing (Debian package libglib2.0-bin): the type is not tried on files"
    fi
    unset XDG_DATA_HOME XDG_DATA_DIRS
else
    skip "update-mime-database is missing (Debian package shared-mime-info)"
fi

# The man pages, gzipped: read by groff with every warning on, and found by
# man in the installed tree as in ~/.local.
if have groff; then
    for page in Tessarin.1 tessarin-cli.1; do
        out=$(gzip -dc "$stage/share/man/man1/$page.gz" 2>&1 | groff -man -ww -z 2>&1)
        [ -z "$out" ] || fail "groff warns about $page: $out"
    done
else
    skip "groff is missing (Debian package groff-base): the man pages are not read"
fi
if have man; then
    for page in Tessarin tessarin-cli; do
        found=$(MANPATH=$stage/share/man man -w "$page" 2>&1)
        [ "$found" = "$stage/share/man/man1/$page.1.gz" ] || fail "man -w $page finds '$found'"
    done
else
    skip "man is missing (Debian package man-db): the pages are not looked up"
fi

# The completion: commands, options, and locked files (and folders) for unlock.
mkdir -p "$work/completion/sub"
: > "$work/completion/a.VKL"
: > "$work/completion/b.vkw"
: > "$work/completion/c.txt"
: > "$work/completion/d.VKS"
complete_words() {
    (cd "$work/completion" && bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _tessarin_cli 2> /dev/null
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "' \
        complete "$stage/share/bash-completion/completions/tessarin-cli" "$@")
}
for case in "unlock unlock-folder |tessarin-cli unl" \
    "--password-stdin |tessarin-cli --pa" \
    "--version |tessarin-cli --v" \
    "a.VKL b.vkw d.VKS sub |tessarin-cli --password-stdin unlock " \
    "a.VKL b.vkw c.txt d.VKS sub |tessarin-cli lock a.VKL " \
    "unlock unlock-folder |tessarin-cli --recovery-key-file c.txt unl" \
    "c.txt |tessarin-cli unlock --recovery-key-file c." \
    "sub |tessarin-cli lock-folder " \
    "lock lock-folder |tessarin-cli -- lo"; do
    expected=${case%%|*} words=${case#*|}
    read -r -a argv <<< "$words"
    [[ $words == *" " ]] && argv+=("")
    got=$(complete_words "${argv[@]}")
    [ "$got" = "$expected" ] || fail "completing '$words' gives '$got', not '$expected'"
done

# The installed command line runs on its own: from elsewhere, with a bare
# environment, and its programs name no library or path in the source or
# build folder.
out=$(cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work/home" TESSARIN_HOME="$work/home" \
    "$stage/bin/tessarin-cli" --help 2>&1)
status=$?
[ $status -eq 0 ] && grep -q '^Usage: tessarin-cli' <<< "$out" ||
    fail "the installed tessarin-cli --help ended with $status: $out"
for program in Tessarin tessarin-cli; do
    libraries=$(ldd "$stage/bin/$program" 2>&1)
    ! grep -q 'not found' <<< "$libraries" || fail "$program misses libraries: $libraries"
    for folder in "$build" "$source"; do
        ! grep -qF "$folder" <<< "$libraries" || fail "$program loads a library from $folder"
        if grep -qaF "$folder" "$stage/bin/$program"; then
            fail "bin/$program names $folder"
        fi
    done
done

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "The install tree is complete."
