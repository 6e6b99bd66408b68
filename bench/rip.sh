#!/usr/bin/env bash
# Ripping a 1 GB file from the browser running in tmux, against dd (same 16 KB
# blocks) and cp copying the same data in the same run. The rip must take at
# most 1.1 times as long as dd.
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

time_dd() {
    local start end
    rm -f "$work/out/dd.bin"
    sync
    start=$(now)
    dd if="$archive" of="$work/out/dd.bin" bs=16k iflag=skip_bytes,count_bytes \
        skip=$DATA_OFFSET count=$SIZE status=none
    end=$(now)
    rm -f "$work/out/dd.bin"
    calc "$end - $start"
}

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
# until the output file holds all its bytes.
time_rip() {
    local start end
    rm -f "$work/out/BIG.BIN"
    sync
    tmux -S "$socket" new-session -d -x 80 -y 25 -c "$work/out" "$PROGRAM $archive"
    for _ in $(seq 200); do
        tmux -S "$socket" capture-pane -p | grep -q 'BIG' && break
        sleep 0.05
    done
    # One small watcher polls the output's size, so that the measurement
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
time_rip >/dev/null; time_dd >/dev/null; time_cp >/dev/null

best_dd=999999 best_cp=999999 best_rip=999999
for round in $(seq "$ROUNDS"); do
    # Alternating the order keeps any effect of what ran before from favouring one side.
    if [ $((round % 2)) = 1 ]; then
        r=$(time_rip); d=$(time_dd); c=$(time_cp)
    else
        d=$(time_dd); c=$(time_cp); r=$(time_rip)
    fi
    printf 'round %d: dd %.3f s, cp %.3f s, rip %.3f s\n' "$round" "$d" "$c" "$r"
    best_dd=$(calc "$d < $best_dd ? $d : $best_dd")
    best_cp=$(calc "$c < $best_cp ? $c : $best_cp")
    best_rip=$(calc "$r < $best_rip ? $r : $best_rip")
done

ratio_dd=$(calc "$best_rip / $best_dd")
ratio_cp=$(calc "$best_rip / $best_cp")
printf 'best of %d: dd %.3f s, cp %.3f s, rip %.3f s\n' "$ROUNDS" "$best_dd" "$best_cp" "$best_rip"
printf 'rip / dd = %.3f (limit %s), rip / cp = %.3f\n' "$ratio_dd" "$LIMIT" "$ratio_cp"
if [ "$(calc "$ratio_dd <= $LIMIT")" != 1.000000 ]; then
    echo "ripping is slower than $LIMIT x dd" >&2
    exit 1
fi
