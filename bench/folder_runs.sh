#!/usr/bin/env bash
# Times lock-folder and unlock-folder of a tree of 10,000 files (1 to 64 KiB,
# in 500 folders) through tessarin-cli, against a durable copy of the same
# tree on the same disk (cp -r, then sync), in the same run, and prints the
# ratios. Builds nothing: it runs the tessarin-cli of a build folder.
#
#   bench/folder_runs.sh <build folder> [work folder] [rounds]
#
# The work folder (default: <build folder>/bench-work) must be on the disk to
# measure and have room for two copies of the tree (about 650 MB). Each round
# checks that the unlocked tree is the tree that was locked, byte for byte.
#
# Every lock and unlock creates a file and deletes one. On ext4 without a
# journal, creating a file soon after others were deleted costs far more (for
# a few minutes the allocator passes over the freed inodes one by one), so
# there the figures depend on what ran just before each step; measure on the
# kind of file system the program is meant for.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [rounds]}
work=${2:-$build/bench-work}
rounds=${3:-3}
cli=$(cd "$build" && pwd)/cli/tessarin-cli
[[ -x $cli ]] || { echo "no $cli: build the tessarin-cli target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)/folder-runs
rm -rf "$work"
mkdir -p "$work/home" "$work/config"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

# The program's own list files and password stay inside the work folder.
export TESSARIN_HOME=$work/home XDG_CONFIG_HOME=$work/config
printf 'bench\nbench\n' | "$cli" --password-stdin set-password 2>/dev/null

tree=$work/Tree
copy=$work/Copy
echo "making 10,000 files of 1 to 64 KiB in 500 folders under $tree"
python3 - "$tree" <<'EOF'
import os, random, sys
random.seed(7)
root = sys.argv[1]
for group in range(20):
    for sub in range(25):
        folder = os.path.join(root, "g%02d" % group, "f%02d" % sub)
        os.makedirs(folder)
        for n in range(20):
            with open(os.path.join(folder, "file%02d.dat" % n), "wb") as out:
                out.write(random.randbytes(random.randint(1, 64) * 1024))
EOF
manifest() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 cksum); }
manifest "$tree" >"$work/before"
echo "$(find "$tree" -type f | wc -l) files, $(du -sm "$tree" | cut -f1) MB"

source "$(dirname "$0")/timing.sh"


lock_ratios=() unlock_ratios=()
printf '%-5s %8s | %8s %6s | %8s %6s\n' round "copy s" "lock s" ratio "unlock s" ratio
for ((round = 1; round <= rounds; round++)); do
    settle
    t0=$(now); cp -r "$tree" "$copy"; sync; t1=$(now)
    copy_s=$(elapsed "$t0" "$t1")
    rm -rf "$copy"

    settle
    cli_run lock-folder "$tree"
    lock_s=$run_s
    [[ ! -e $tree ]] || { echo "round $round: the folder kept its plain name" >&2; exit 1; }
    settle
    cli_run unlock-folder "$tree"
    unlock_s=$run_s
    manifest "$tree" | cmp -s - "$work/before" || { echo "round $round: the tree changed" >&2; exit 1; }

    lock_ratios+=("$(ratio "$lock_s" "$copy_s")") unlock_ratios+=("$(ratio "$unlock_s" "$copy_s")")
    printf '%-5s %8s | %8s %6s | %8s %6s\n' "$round" "$copy_s" "$lock_s" "${lock_ratios[-1]}" \
        "$unlock_s" "${unlock_ratios[-1]}"
done

echo "median ratio to the durable copy (goal: 2 or less):"
echo "  lock-folder   $(median "${lock_ratios[@]}")"
echo "  unlock-folder $(median "${unlock_ratios[@]}")"
