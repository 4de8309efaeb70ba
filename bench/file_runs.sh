#!/usr/bin/env bash
# Times tessarin-cli locking and then unlocking a tree of many small files
# against a durable copy of the same tree (cp -r, then sync), in the same
# run, and prints the ratios. Builds nothing: it runs the tessarin-cli of a
# build folder.
#
#   bench/file_runs.sh <build folder> [work folder] [files] [folders] [rounds]
#
# Defaults: 5000 files of 1 to 64 KiB spread over 50 folders, 3 rounds. The
# work folder (default: <build folder>/bench-work) must be on the disk to
# measure, with room for a copy of the tree per round. After each round the
# unlocked tree is compared with that round's copy. The copies are kept
# until the end, so that no copy is made where another was just removed.
#
# On ext4 without a journal, a new file is not given the number of a file
# removed in the last minutes: each creation then skips over all of those,
# so a lock right after an unlock (and the other way round) is slowed down
# by the removals of the run before. The copy, which removes nothing, is
# not. Such a disk makes the ratios look worse than they are elsewhere.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [files] [folders] [rounds]}
work=${2:-$build/bench-work}
count=${3:-5000}
folders=${4:-50}
rounds=${5:-3}
cli=$(cd "$build" && pwd)/cli/tessarin-cli
[[ -x $cli ]] || { echo "no $cli: build the tessarin-cli target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)/file-runs
rm -rf "$work"
mkdir -p "$work"
tree=$work/tree
cleanup() { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# The program's own list files and settings stay in the work folder.
export TESSARIN_HOME=$work/home XDG_CONFIG_HOME=$work/config
printf 'bench\nbench\n' | "$cli" --password-stdin set-password 2>/dev/null

echo "making $count files of 1 to 64 KiB in $folders folders below $work"
files=()
for ((i = 0; i < count; i++)); do
    folder=$tree/folder-$((i % folders))
    ((i < folders)) && mkdir -p "$folder"
    files+=("$folder/file-$i.dat")
    head -c $((1024 + RANDOM * 63 * 1024 / 32768)) /dev/urandom >"${files[-1]}"
done
echo "  $(du -sh "$tree" | cut -f1) in all"

source "$(dirname "$0")/timing.sh"


lock_ratios=() unlock_ratios=()
printf '%-5s %8s | %8s %6s | %8s %6s\n' round "copy s" "lock s" ratio "unlock s" ratio
for ((round = 1; round <= rounds; round++)); do
    settle
    copy=$work/copy-$round
    t0=$(now); cp -r "$tree" "$copy"; sync; t1=$(now)
    copy_s=$(elapsed "$t0" "$t1")

    settle
    cli_run lock "${files[@]}"
    lock_s=$run_s
    mapfile -t locked < <(find "$tree" -type f -name '*.VKL')
    ((${#locked[@]} == count)) || { echo "round $round: ${#locked[@]} of $count files locked" >&2; exit 1; }

    settle
    cli_run unlock "${locked[@]}"
    unlock_s=$run_s
    diff -r "$tree" "$copy" >/dev/null || { echo "round $round: the tree changed" >&2; exit 1; }

    lock_ratios+=("$(ratio "$lock_s" "$copy_s")") unlock_ratios+=("$(ratio "$unlock_s" "$copy_s")")
    printf '%-5s %8s | %8s %6s | %8s %6s\n' "$round" "$copy_s" "$lock_s" "${lock_ratios[-1]}" \
        "$unlock_s" "${unlock_ratios[-1]}"
done

echo "median ratio to the durable copy (goal: 2 or less):"
echo "  lock   $(median "${lock_ratios[@]}")"
echo "  unlock $(median "${unlock_ratios[@]}")"
