#!/usr/bin/env bash
# scripts/check-layers on a small tree: a tree that keeps the layers passes;
# each include against them, added alone, fails with its file, line and cause.
# Usage: check_layers_test.sh [path/to/check-layers]
set -uo pipefail
check=${1:-$(dirname "$0")/../../scripts/check-layers}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes a file of the tree: a comment, a blank line, then the given lines.
put() {
    local file=$1
    shift
    mkdir -p "$(dirname "$work/tree/$file")"
    printf '// fixture\n\n' >"$work/tree/$file"
    printf '%s\n' "$@" >>"$work/tree/$file"
}

goodTree() {
    rm -rf "$work/tree"
    put engine/platform/paths.h '#include <vector>' '#include <queue>' \
        '#include "engine/platform/file_system.h"'
    put engine/formats/small_file.h '#include "engine/runs/transfer.h"' \
        '#include "engine/sealing/sealed_lock.h"' '#include "engine/lists/list_file.h"'
    put locking/file_runs.h '#include "engine/platform/paths.h"' '#include "locking/file_search.h"'
    put folders/dispatcher.cpp '#include "locking/file_runs.h"' '#include "folders/folder_lists.h"'
    put app/frm_main.cpp '#include <QWidget>' '#include "folders/dispatcher.h"' \
        '#include "locking/window_model.h"'
    put cli/cli.cpp '#include "app/settings_store.h"' '#include "app/password.h"' \
        '#include "folders/dispatcher.h"' '#include "cli/console.h"'
}

failures=0
expect() {  # expect <exit status> <standard error>
    local err status
    err=$("$check" "$work/tree" 2>&1 >/dev/null)
    status=$?
    if [[ $status != "$1" || $err != "$2" ]]; then
        printf 'FAILED: %s\n  expected status %s, error:\n%s\n  got status %s, error:\n%s\n' \
            "$case" "$1" "$2" "$status" "$err" >&2
        failures=$((failures + 1))
    fi
}

case="a tree that keeps the layers"
goodTree
expect 0 ""

# <file> | <line 3 of it> | <cause>
cases=(
    'engine/formats/cipher.cpp|#include "locking/file_runs.h"|includes locking/file_runs.h from a layer above: engine/formats/ stands below locking/'
    'engine/platform/paths.cpp|#include "engine/lists/list_file.h"|includes engine/lists/list_file.h from a layer above: engine/platform/ stands below engine/lists/'
    'engine/runs/transfer.cpp|#include "engine/sealing/age_format.h"|includes engine/sealing/age_format.h from a layer above: engine/runs/ stands below engine/sealing/'
    'engine/sealing/sealed_lock.cpp|#include "engine/formats/cipher.h"|includes engine/formats/cipher.h from a layer above: engine/sealing/ stands below engine/formats/'
    'engine/cipher.h|#include "engine/formats/rc4.h"|stands outside the engine'"'"'s rooms: engine/ keeps its files in platform/, lists/, runs/, sealing/ and formats/'
    'locking/file_box.h|#include "folders/folder_lists.h"|includes folders/folder_lists.h from a layer above: locking/ stands below folders/'
    'folders/folder_state.cpp|#include "app/frm_main.h"|includes app/frm_main.h from a layer above: folders/ stands below app/'
    'folders/folder_state.cpp|#include "cli/console.h"|includes cli/console.h from a layer above: folders/ stands below cli/'
    'folders/folder_chooser.h|#include <QString>|includes the Qt header <QString>: folders/ holds no Qt'
    'engine/lists/list_file.h|#  include <QtCore/QFile>|includes the Qt header <QtCore/QFile>: engine/lists/ holds no Qt'
    'locking/file_box.cpp|#include <QtWidgets>|includes the Qt header <QtWidgets>: locking/ holds no Qt'
    'cli/console.cpp|#include "app/frm_main.h"|includes app/frm_main.h: cli/ takes from app/ its settings store and password rules alone, never the window'"'"'s code'
    'cli/cli.h|#include "app/qt_settings_store.h"|includes app/qt_settings_store.h: cli/ takes from app/ its settings store and password rules alone, never the window'"'"'s code'
    'app/selection.cpp|#include "cli/cli.h"|includes cli/cli.h: app/ and cli/ are two front ends, apart'
    'cli/cli_session.cpp|#include "locking/window_model.h"|includes locking/window_model.h, the window'"'"'s state: only app/ may'
    'engine/platform/paths.cpp|#include "locking/window_model.h"|includes locking/window_model.h, the window'"'"'s state: only app/ may'
)
for entry in "${cases[@]}"; do
    IFS='|' read -r file include cause <<<"$entry"
    case="$file: $include"
    goodTree
    put "$file" "$include"
    expect 1 "$file:3: $cause
check-layers: 1 include(s) against the layers"
done

case="every fault named, in file and line order"
goodTree
put engine/runs/b.h '#include <QByteArray>' '#include "folders/folder_lists.h"'
put engine/runs/a.h '#include "app/password.h"'
expect 1 "engine/runs/a.h:3: includes app/password.h from a layer above: engine/runs/ stands below app/
engine/runs/b.h:3: includes the Qt header <QByteArray>: engine/runs/ holds no Qt
engine/runs/b.h:4: includes folders/folder_lists.h from a layer above: engine/runs/ stands below folders/
check-layers: 3 include(s) against the layers"

case="a folder that holds no layer"
rm -rf "$work/tree" && mkdir -p "$work/tree/docs"
expect 2 "check-layers: no layer folder under $work/tree"

((failures == 0)) || { echo "$failures case(s) failed" >&2; exit 1; }
echo "check-layers: every case passed"
