#!/usr/bin/env bash
# Times locking and unlocking one large file against a durable copy of the
# same file on the same disk (cp, then sync), in the same run, and prints the
# ratios. Builds nothing: it runs the lock_file_driver of a build folder.
#
#   bench/lock_large_file.sh <build folder> [work folder] [size in MiB] [rounds]
#
# The work folder (default: <build folder>/bench-work) must be on the disk to
# measure; it needs room for two copies of the file.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [size in MiB] [rounds]}
work=${2:-$build/bench-work}
mib=${3:-1024}
rounds=${4:-3}
driver=$(cd "$build" && pwd)/bench/lock_file_driver
[[ -x $driver ]] || { echo "no $driver: build the lock_file_driver target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)
plain=$work/large.bin
locked=$work/ynetr.ovn.VKW  # the locked name of large.bin
copy=$work/copy.bin
rm -f "$plain" "$locked" "$copy"
trap 'chmod u+w "$locked" 2>/dev/null; rm -f "$plain" "$locked" "$copy"' EXIT

echo "making a $mib MiB file in $work"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$plain"
sum=$(cksum <"$plain")
sync

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

lock_ratios=() unlock_ratios=() rss=0
printf '%-6s %10s %10s %10s %12s %12s\n' round "copy s" "lock s" "unlock s" "lock/copy" "unlock/copy"
for ((round = 1; round <= rounds; round++)); do
    t0=$(now); cp "$plain" "$copy"; sync; t1=$(now)
    copy_s=$(elapsed "$t0" "$t1")
    rm -f "$copy"; sync

    t0=$(now); "$driver" lock "$plain" 2>"$work/lock.log"; t1=$(now)
    lock_s=$(elapsed "$t0" "$t1")
    sync

    t0=$(now); "$driver" unlock "$locked" 2>"$work/unlock.log"; t1=$(now)
    unlock_s=$(elapsed "$t0" "$t1")
    sync

    [[ $(cksum <"$plain") == "$sum" ]] || { echo "round $round: content changed" >&2; exit 1; }
    for log in "$work/lock.log" "$work/unlock.log"; do
        kib=$(awk '/^max-rss-kib/ { print $2 }' "$log")
        ((kib > rss)) && rss=$kib
    done
    lock_ratios+=("$(ratio "$lock_s" "$copy_s")")
    unlock_ratios+=("$(ratio "$unlock_s" "$copy_s")")
    printf '%-6s %10s %10s %10s %12s %12s\n' "$round" "$copy_s" "$lock_s" "$unlock_s" \
        "${lock_ratios[-1]}" "${unlock_ratios[-1]}"
done
rm -f "$work/lock.log" "$work/unlock.log"

echo "median lock/copy $(median "${lock_ratios[@]}"), unlock/copy $(median "${unlock_ratios[@]}") (goal: 1.1 or less)"
echo "peak resident memory of the driver: $rss KiB"
