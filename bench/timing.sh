# Timing helpers shared by the whole-run benchmarks. Source it after setting
# $work (the folder the benchmark writes in).

# Before each timed step: flush everything, then wait until the disk has had
# nothing in flight for a while. The tree stays in the page cache alike for
# every step.
device=$(basename "$(df --output=source "$work" | tail -1)")
settle() {
    sync
    local inflight=/sys/class/block/$device/inflight quiet=0
    [[ -r $inflight ]] || return 0
    while ((quiet < 10)); do
        read -r reads writes <"$inflight"
        if ((reads + writes == 0)); then ((++quiet)); else quiet=0; fi
        sleep 0.05
    done
}

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs one tessarin-cli ($cli) command with the password "bench" on standard
# input and sets run_s to the seconds it took; any failure ends the benchmark.
cli_run() {
    local t0 t1
    t0=$(now)
    "$cli" --password-stdin "$@" <<<bench 2>"$work/cli.log" || { cat "$work/cli.log" >&2; exit 1; }
    t1=$(now)
    run_s=$(elapsed "$t0" "$t1")
}
