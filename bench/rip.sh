#!/usr/bin/env bash
# Ripping a 1 GB file from the browser running in tmux, against cp copying the
# archive in the same round. A rip is timed from F2 to the moment the whole
# file stands under its name (it is renamed into place when complete); its
# processor time is the program's own, read from /proc.
#
# Two archives: the file's data right after the records (offset 88, as in any
# archive), and at a page boundary (offset 4096), where the kernel copies as
# it does for cp. Data that starts inside a page costs the kernel more to copy
# (each page it writes comes from two pages), so only the second tells what
# ripping itself adds: its median processor time must stay within 1.1 times cp's.
#
# Everything lies in memory (/dev/shm) where there is room, so that the disk's
# writeback, which can hold either side for seconds, does not drown the
# figures; TMPDIR=... chooses another place.
set -euo pipefail

BUILD=${BUILD:-build}
PROGRAM=$(realpath "$BUILD/dirrip")
SIZE=${RIP_BENCH_BYTES:-$((1024 * 1024 * 1024))}
ROUNDS=${ROUNDS:-5}
LIMIT=1.1

place=${TMPDIR:-/tmp}
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ] &&
    [ "$(df -k --output=avail /dev/shm | tail -1)" -gt $((SIZE / 1024 * 9 / 2)) ]; then
    place=/dev/shm
fi
work=$(mktemp -d "$place/dirrip-rip-bench-XXXXXX")
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

# archive NAME OFFSET: one file BIG.BIN of the same random bytes at OFFSET.
head -c "$SIZE" /dev/urandom >"$work/data"
make_archive() {
    {
        record "BIG.BIN" $((0xCDCDCD00)) "$SIZE" "$2"
        record "" $((0xFFFFFFFF)) 0 0
        head -c $(($2 - 88)) /dev/zero
        cat "$work/data"
    } >"$work/$1"
}
make_archive unaligned.dir 88
make_archive aligned.dir 4096
rm "$work/data"
sync                                       # their writing must not slow the first copy
cat "$work"/*.dir >/dev/null               # every copy then reads from the page cache
mkdir "$work/out"

calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# timed OUTPUT SIZE PID COMMAND...: one perl process, already running, takes
# the time, starts COMMAND (cp, or the tmux client that presses F2) and takes
# the time again when OUTPUT holds SIZE bytes. Prints the seconds and the
# processor seconds of COMMAND, or of process PID over that time when PID is
# not 0 (ticks of 1/100 s from /proc).
timed() {
    perl -MTime::HiRes=time,sleep -e '
        my ($output, $size, $pid, @command) = @ARGV;
        sub ticks { open(my $f, "<", "/proc/$pid/stat") or return 0; my @s = split(" ", <$f>);
                    return $s[13] + $s[14]; }
        my $before = $pid ? ticks() : 0;
        my $start = time;
        system(@command) == 0 or die "@command failed\n";
        sleep 0.001 while ((-s $output) // 0) < $size;
        my $wall = time - $start;
        my @t = times;
        my $cpu = $pid ? (ticks() - $before) / 100 : $t[2] + $t[3];
        printf "%.6f %.6f", $wall, $cpu;' "$@"
}

time_cp() {
    rm -f "$work/out/cp.bin"
    sync
    timed "$work/out/cp.bin" "$(stat -c %s "$work/$1")" 0 cp "$work/$1" "$work/out/cp.bin"
    rm -f "$work/out/cp.bin"
}

# Starts the browser on the archive, presses F2 on its one file and waits
# until the output file holds all its bytes; then quits and checks them.
time_rip() {
    local pid offset=$2
    rm -f "$work/out/BIG.BIN"
    sync
    tmux -S "$socket" new-session -d -x 80 -y 25 -c "$work/out" "exec $PROGRAM $work/$1"
    for _ in $(seq 200); do
        tmux -S "$socket" capture-pane -p | grep -q 'BIG' && break
        sleep 0.05
    done
    pid=$(tmux -S "$socket" display-message -p '#{pane_pid}')
    timed "$work/out/BIG.BIN" "$SIZE" "$pid" tmux -S "$socket" send-keys F2
    tmux -S "$socket" send-keys Escape Escape
    for _ in $(seq 100); do
        tmux -S "$socket" has-session 2>/dev/null || break
        sleep 0.05
    done
    tmux -S "$socket" kill-server 2>/dev/null || true
    cmp -s <(tail -c +$((offset + 1)) "$work/$1") "$work/out/BIG.BIN" ||
        { echo "ripped file differs from the archive's data" >&2; exit 1; }
    rm -f "$work/out/BIG.BIN"
}

# One warm-up round, not counted: the first copies after the archives were
# made pay for settling the page cache.
time_rip unaligned.dir 88 >/dev/null; time_cp unaligned.dir >/dev/null

check=0
for archive in unaligned.dir:88 aligned.dir:4096; do
    name=${archive%:*} offset=${archive#*:}
    wall=() cpu=()
    for round in $(seq "$ROUNDS"); do
        # Alternating the order keeps any effect of what ran before from favouring one side.
        if [ $((round % 2)) = 1 ]; then
            r=$(time_rip "$name" "$offset"); c=$(time_cp "$name")
        else
            c=$(time_cp "$name"); r=$(time_rip "$name" "$offset")
        fi
        read -r rw rc <<<"$r"
        read -r cw cc <<<"$c"
        printf '%s round %d: cp %.3f s (cpu %.2f s), rip %.3f s (cpu %.2f s)\n' \
            "$name" "$round" "$cw" "$cc" "$rw" "$rc"
        wall+=("$(calc "$rw / $cw")") cpu+=("$(calc "$rc / ($cc > 0 ? $cc : 0.01)")")
    done
    wall_ratio=$(printf '%s\n' "${wall[@]}" | median)
    cpu_ratio=$(printf '%s\n' "${cpu[@]}" | median)
    printf '%s, data at offset %d: rip / cp median of %d rounds: time %.3f, processor %.3f\n' \
        "$name" "$offset" "$ROUNDS" "$wall_ratio" "$cpu_ratio"
    [ "$name" = aligned.dir ] && check=$cpu_ratio
done
printf 'ripping adds %.3f times cp (limit %s)\n' "$check" "$LIMIT"
if [ "$(calc "$check <= $LIMIT")" != 1.000000 ]; then
    echo "ripping costs more than $LIMIT x cp" >&2
    exit 1
fi
