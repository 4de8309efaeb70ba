#!/usr/bin/env bash
# Times `tessarin-cli scan` of a large tree against `find PATH -type f | wc -l`
# on the same tree, both with a warm cache, in the same run, and prints the
# ratio. Builds nothing: it runs the tessarin-cli of a build folder.
#
#   bench/scan.sh <build folder> [work folder] [files] [folders] [rounds]
#
# Defaults: 100000 files in 5000 folders (a quarter of the folders one level
# deeper than the rest), one file in a hundred locked, 5 rounds. The work
# folder defaults to <build folder>/bench-work.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [files] [folders] [rounds]}
work=${2:-$build/bench-work}
count=${3:-100000}
folders=${4:-5000}
rounds=${5:-5}
cli=$(cd "$build" && pwd)/cli/tessarin-cli
[[ -x $cli ]] || { echo "no $cli: build the tessarin-cli target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)/scan
rm -rf "$work"
mkdir -p "$work"
tree=$work/tree
cleanup() { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

export TESSARIN_HOME=$work/home XDG_CONFIG_HOME=$work/config
printf 'bench\nbench\n' | "$cli" --password-stdin set-password 2>/dev/null

echo "making $count files in $folders folders below $work"
for ((f = 0; f < folders; f++)); do
    if ((f % 4 == 3)); then echo "$tree/group-$((f / 4))/inner-$f"; else echo "$tree/folder-$f"; fi
done >"$work/folders.txt"
mapfile -t dirs <"$work/folders.txt"
xargs -d '\n' mkdir -p <"$work/folders.txt"
for ((i = 0; i < count; i++)); do
    echo "${dirs[i % folders]}/file-$i.txt"
done >"$work/files.txt"
# A line of text in each, so that every file has content like a person's.
xargs -d '\n' -n 1000 sh -c 'for f; do echo "file $f" >"$f"; done' sh <"$work/files.txt"
awk 'NR % 100 == 0' "$work/files.txt" | xargs -d '\n' -n 500 \
    sh -c 'printf "bench\n" | "$0" --password-stdin lock "$@" 2>/dev/null' "$cli"
locked=$(find "$tree" -type f -name '*.VKL' | wc -l)
echo "  $(find "$tree" -type f | wc -l) files, $locked of them locked"

source "$(dirname "$0")/timing.sh"

# Warm the cache for both.
find "$tree" -type f | wc -l >/dev/null
"$cli" --password-stdin scan "$tree" <<<bench >/dev/null 2>&1

ratios=()
printf '%-5s %8s | %8s %6s\n' round "find s" "scan s" ratio
for ((round = 1; round <= rounds; round++)); do
    t0=$(now); find "$tree" -type f | wc -l >/dev/null; t1=$(now)
    find_s=$(elapsed "$t0" "$t1")
    t0=$(now)
    "$cli" --password-stdin scan "$tree" <<<bench >"$work/scan.out" 2>"$work/scan.log" ||
        { cat "$work/scan.log" >&2; exit 1; }
    t1=$(now)
    scan_s=$(elapsed "$t0" "$t1")
    found=$(grep -c '^file' "$work/scan.out" || true)
    ((found == locked)) || { echo "round $round: the scan found $found of $locked" >&2; exit 1; }
    ratios+=("$(ratio "$scan_s" "$find_s")")
    printf '%-5s %8s | %8s %6s\n' "$round" "$find_s" "$scan_s" "${ratios[-1]}"
done
echo "median ratio of the scan to find (goal: 2 or less): $(median "${ratios[@]}")"
