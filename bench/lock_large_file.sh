#!/usr/bin/env bash
# Times locking and unlocking one large file against a durable copy of the
# same file on the same disk (cp, then sync of the copy and its folder), in
# the same run, and prints the ratios. Builds nothing: it runs the lock_file_driver of a build folder.
#
#   bench/lock_large_file.sh <build folder> [work folder] [size in MiB] [rounds]
#
# The work folder (default: <build folder>/bench-work) must be on the disk to
# measure and have room for two copies of the file. The default 1024 MiB lies
# beyond 32767 chunks of 32768 bytes, so every round also shows that such a
# file locks and unlocks (its checksum is compared after each round).
#
# Two times per operation: "wall", the driver process from start to exit, and
# "call", the lock or unlock call alone. They differ by the freeing of the
# removed file's blocks, which the engine leaves to a background close; a
# short-lived driver still waits for it at exit, a running program does not.
set -euo pipefail

build=${1:?usage: $0 <build folder> [work folder] [size in MiB] [rounds]}
work=${2:-$build/bench-work}
mib=${3:-1024}
rounds=${4:-5}
driver=$(cd "$build" && pwd)/bench/lock_file_driver
[[ -x $driver ]] || { echo "no $driver: build the lock_file_driver target first" >&2; exit 1; }

mkdir -p "$work"
work=$(cd "$work" && pwd)
plain=$work/large.bin
locked=$work/ynetr.ovn.VKW  # the locked name of large.bin
copy=$work/copy.bin
rm -f "$plain" "$locked" "$copy"
trap 'chmod u+w "$locked" 2>/dev/null; rm -f "$plain" "$locked" "$copy" "$work"/*.log' EXIT

echo "making a $mib MiB file in $work"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$plain"
sum=$(cksum <"$plain")

source "$(dirname "$0")/timing.sh"
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

# Runs the driver, timing the process; sets wall_s, call_s and rss_kib.
drive() {
    local t0 t1
    t0=$(now)
    "$driver" "$1" "$2" 2>"$work/driver.log" || { cat "$work/driver.log" >&2; exit 1; }
    t1=$(now)
    wall_s=$(elapsed "$t0" "$t1")
    call_s=$(field call-seconds "$work/driver.log")
    rss_kib=$(field max-rss-kib "$work/driver.log")
}

lock_wall=() lock_call=() unlock_wall=() unlock_call=() peak=0
printf '%-5s %8s | %8s %8s %6s %6s | %8s %8s %6s %6s\n' round "copy s" "lock s" "call s" wall/c call/c \
    "unlock s" "call s" wall/c call/c
for ((round = 1; round <= rounds; round++)); do
    # The copy and its folder are flushed, as the engine flushes its output
    # and folder; a bare "sync" would also wait for other programs' writes.
    settle
    t0=$(now); cp "$plain" "$copy"; sync "$copy" "$work"; t1=$(now)
    copy_s=$(elapsed "$t0" "$t1")
    rm -f "$copy"

    settle
    drive lock "$plain"
    lw=$wall_s lc=$call_s
    ((rss_kib > peak)) && peak=$rss_kib
    settle
    drive unlock "$locked"
    uw=$wall_s uc=$call_s
    ((rss_kib > peak)) && peak=$rss_kib
    [[ $(cksum <"$plain") == "$sum" ]] || { echo "round $round: content changed" >&2; exit 1; }

    lock_wall+=("$(ratio "$lw" "$copy_s")") lock_call+=("$(ratio "$lc" "$copy_s")")
    unlock_wall+=("$(ratio "$uw" "$copy_s")") unlock_call+=("$(ratio "$uc" "$copy_s")")
    printf '%-5s %8s | %8s %8s %6s %6s | %8s %8s %6s %6s\n' "$round" "$copy_s" "$lw" "$lc" \
        "${lock_wall[-1]}" "${lock_call[-1]}" "$uw" "$uc" "${unlock_wall[-1]}" "${unlock_call[-1]}"
done

echo "median ratio to the durable copy (goal: 1.1 or less):"
echo "  lock   wall $(median "${lock_wall[@]}"), call $(median "${lock_call[@]}")"
echo "  unlock wall $(median "${unlock_wall[@]}"), call $(median "${unlock_call[@]}")"
echo "peak resident memory of the driver: $peak KiB"
