#!/usr/bin/env bash
# Times sealing with tessarin-cli against a durable copy (cp, then sync), in
# the same run, and prints the ratios:
#   1. one large file sealed (lock --seal) and unsealed (unlock), against
#      copying it;
#   2. a tree of many small files unsealed, against copying the tree. The
#      unseal run opens the identity once (one scrypt, at the password
#      check every command makes: timed on its own with `folders`, which
#      does nothing else) and costs one X25519 per file. The same tree
#      locked and unlocked in the compatible format is timed beside it.
# Builds nothing: it runs the tessarin-cli of a build folder.
#
#   bench/seal_runs.sh <build folder> [work folder] [MiB] [files] [rounds]
#
# Defaults: a 512 MiB file, 5000 files of 1 to 64 KiB in 50 folders, 3
# rounds. The work folder (default: <build folder>/bench-work) must be on
# the disk to measure, with room for the file three times over.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [MiB] [files] [rounds]}
work=${2:-$build/bench-work}
mib=${3:-512}
count=${4:-5000}
rounds=${5:-3}
folders=50
cli=$(cd "$build" && pwd)/cli/tessarin-cli
[[ -x $cli ]] || { echo "no $cli: build the tessarin-cli target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)/seal-runs
rm -rf "$work"
mkdir -p "$work"
cleanup() { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

export TESSARIN_HOME=$work/home XDG_CONFIG_HOME=$work/config
printf 'bench\nbench\n' | "$cli" --password-stdin set-password 2>/dev/null
source "$(dirname "$0")/timing.sh"

sealed_in() { find "$1" -type f -name '*.VKS'; }

echo "making a $mib MiB file and $count files of 1 to 64 KiB in $folders folders below $work"
mkdir -p "$work/large" "$work/copies"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/large/big.dat"
cp "$work/large/big.dat" "$work/big.reference"
tree=$work/tree
for ((i = 0; i < count; i++)); do
    folder=$tree/folder-$((i % folders))
    ((i < folders)) && mkdir -p "$folder"
    head -c $((1024 + RANDOM * 63 * 1024 / 32768)) /dev/urandom >"$folder/file-$i.dat"
done
cp -r "$tree" "$work/tree.reference"
# The first seal turns sealing on (one identity, one scrypt): not timed.
cli_run lock --seal "$tree"/folder-0/file-0.dat >/dev/null
cli_run unlock "$(sealed_in "$tree")"

seal_ratios=() unseal_ratios=() many_ratios=() run_ratios=() compat_ratios=()
printf '%-5s %8s | %8s %6s | %8s %6s | %8s %8s %6s %7s %6s | %8s %6s\n' round "copy s" "seal s" \
    ratio "unseal s" ratio "tree cp" "unseal s" ratio "gate s" "-gate" "unlock s" ratio
for ((round = 1; round <= rounds; round++)); do
    settle
    t0=$(now); cp "$work/large/big.dat" "$work/copies/big-$round.dat"; sync; t1=$(now)
    copy_s=$(elapsed "$t0" "$t1")
    settle
    cli_run lock --seal "$work/large/big.dat"
    seal_s=$run_s
    settle
    cli_run unlock "$(sealed_in "$work/large")"
    unseal_s=$run_s
    cmp -s "$work/large/big.dat" "$work/big.reference" || { echo "round $round: the file changed" >&2; exit 1; }

    settle
    t0=$(now); cp -r "$tree" "$work/copies/tree-$round"; sync; t1=$(now)
    tree_copy_s=$(elapsed "$t0" "$t1")
    mapfile -t plain < <(find "$tree" -type f)
    cli_run lock --seal "${plain[@]}"
    mapfile -t sealed < <(sealed_in "$tree")
    ((${#sealed[@]} == count)) || { echo "round $round: ${#sealed[@]} of $count files sealed" >&2; exit 1; }
    settle
    cli_run unlock "${sealed[@]}"
    many_s=$run_s
    diff -r "$tree" "$work/tree.reference" >/dev/null || { echo "round $round: the tree changed" >&2; exit 1; }
    cli_run folders >/dev/null
    gate_s=$run_s

    # The compatible format over the same tree, for comparison.
    mapfile -t plain < <(find "$tree" -type f)
    cli_run lock "${plain[@]}"
    mapfile -t locked < <(find "$tree" -type f -name '*.VK[LW]')
    settle
    cli_run unlock "${locked[@]}"
    compat_s=$run_s
    diff -r "$tree" "$work/tree.reference" >/dev/null || { echo "round $round: the tree changed" >&2; exit 1; }

    seal_ratios+=("$(ratio "$seal_s" "$copy_s")") unseal_ratios+=("$(ratio "$unseal_s" "$copy_s")")
    many_ratios+=("$(ratio "$many_s" "$tree_copy_s")")
    run_s=$(awk -v a="$many_s" -v b="$gate_s" 'BEGIN { printf "%.3f", a - b }')
    run_ratios+=("$(ratio "$run_s" "$tree_copy_s")")
    compat_ratios+=("$(ratio "$compat_s" "$tree_copy_s")")
    printf '%-5s %8s | %8s %6s | %8s %6s | %8s %8s %6s %7s %6s | %8s %6s\n' "$round" "$copy_s" \
        "$seal_s" "${seal_ratios[-1]}" "$unseal_s" "${unseal_ratios[-1]}" "$tree_copy_s" \
        "$many_s" "${many_ratios[-1]}" "$gate_s" "${run_ratios[-1]}" "$compat_s" \
        "${compat_ratios[-1]}"
done

echo "median ratio to the durable copy:"
echo "  seal   $mib MiB       $(median "${seal_ratios[@]}")   (goal: 1.2 or less)"
echo "  unseal $mib MiB       $(median "${unseal_ratios[@]}")   (goal: 1.2 or less)"
echo "  unseal $count files $(median "${many_ratios[@]}")   (goal: 2.5 or less)"
echo "    without the password check's scrypt $(median "${run_ratios[@]}")"
echo "    the compatible format's unlock, same tree, same password check $(median "${compat_ratios[@]}")"
