#!/usr/bin/env bash
# Ripping a 1 GB file from the browser running in tmux, against cp copying the
# same archive in the same round. A rip is timed from F2 to the moment the
# whole file stands under its name (it is renamed into place when complete).
# The median rip must take at most 1.1 times the median cp.
set -euo pipefail

BUILD=${BUILD:-build}
PROGRAM=$(realpath "$BUILD/dirrip")
SIZE=${RIP_BENCH_BYTES:-$((1024 * 1024 * 1024))}
DATA_OFFSET=88  # one file record and the end record
ROUNDS=${ROUNDS:-5}
LIMIT=1.1

work=$(mktemp -d "${TMPDIR:-/tmp}/dirrip-rip-bench-XXXXXX")
socket="$work/tmux.sock"
cleanup() {
    tmux -S "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A 44-byte record: the 32-byte name, then type, size and offset, little-endian.
record() {
    local name=$1 type=$2 size=$3 offset=$4
    printf '%s' "$name"
    head -c $((32 - ${#name})) /dev/zero
    for value in "$type" "$size" "$offset"; do
        printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $(((value >> 8) & 255)) \
            $(((value >> 16) & 255)) $(((value >> 24) & 255)))"
    done
}

archive="$work/big.dir"
{
    record "BIG.BIN" $((0xCDCDCD00)) "$SIZE" "$DATA_OFFSET"
    record "" $((0xFFFFFFFF)) 0 0
    head -c "$SIZE" /dev/urandom
} >"$archive"
sync                       # the archive's own writing must not slow the first copy
cat "$archive" >/dev/null  # every copy then reads from the page cache
mkdir "$work/out"

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

time_cp() {
    local start end
    rm -f "$work/out/cp.bin"
    sync
    start=$(now)
    cp "$archive" "$work/out/cp.bin"
    end=$(now)
    rm -f "$work/out/cp.bin"
    calc "$end - $start"
}

# Starts the browser on the archive, presses F2 on its one file and waits
# until the output file holds all its bytes; then quits and checks them.
time_rip() {
    local start end
    rm -f "$work/out/BIG.BIN"
    sync
    tmux -S "$socket" new-session -d -x 80 -y 25 -c "$work/out" "$PROGRAM $archive"
    for _ in $(seq 200); do
        tmux -S "$socket" capture-pane -p | grep -q 'BIG' && break
        sleep 0.05
    done
    # One small watcher polls for the output's size, so that the measurement
    # itself takes next to no processor time from the copy.
    start=$(now)
    tmux -S "$socket" send-keys F2
    perl -e 'my ($file, $size) = @ARGV;
             select(undef, undef, undef, 0.002) while ((-s $file) // 0) < $size;' \
        "$work/out/BIG.BIN" "$SIZE"
    end=$(now)
    tmux -S "$socket" send-keys Escape Escape
    for _ in $(seq 100); do
        tmux -S "$socket" has-session 2>/dev/null || break
        sleep 0.05
    done
    tmux -S "$socket" kill-server 2>/dev/null || true
    cmp -s <(tail -c +$((DATA_OFFSET + 1)) "$archive") "$work/out/BIG.BIN" ||
        { echo "ripped file differs from the archive's data" >&2; exit 1; }
    rm -f "$work/out/BIG.BIN"
    calc "$end - $start"
}

# One warm-up round, not counted: the first copies after the archive was made
# pay for settling the page cache.
time_rip >/dev/null; time_cp >/dev/null

rips=() cps=() ratios=()
for round in $(seq "$ROUNDS"); do
    # Alternating the order keeps any effect of what ran before from favouring one side.
    if [ $((round % 2)) = 1 ]; then
        r=$(time_rip); c=$(time_cp)
    else
        c=$(time_cp); r=$(time_rip)
    fi
    printf 'round %d: cp %.3f s, rip %.3f s, rip / cp %.3f\n' "$round" "$c" "$r" "$(calc "$r / $c")"
    rips+=("$r") cps+=("$c") ratios+=("$(calc "$r / $c")")
done

median_rip=$(printf '%s\n' "${rips[@]}" | median)
median_cp=$(printf '%s\n' "${cps[@]}" | median)
ratio=$(calc "$median_rip / $median_cp")
printf 'median of %d: cp %.3f s, rip %.3f s\n' "$ROUNDS" "$median_cp" "$median_rip"
printf 'rip / cp = %.3f (limit %s); per round: min %.3f, median %.3f, max %.3f\n' "$ratio" "$LIMIT" \
    "$(printf '%s\n' "${ratios[@]}" | sort -n | head -1)" "$(printf '%s\n' "${ratios[@]}" | median)" \
    "$(printf '%s\n' "${ratios[@]}" | sort -n | tail -1)"
if [ "$(calc "$ratio <= $LIMIT")" != 1.000000 ]; then
    echo "ripping is slower than $LIMIT x cp" >&2
    exit 1
fi
