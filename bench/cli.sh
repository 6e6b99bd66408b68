#!/usr/bin/env bash
# Times the command-line modes against the system tools doing the same work, in one run:
#   --extract of 10,000 small files in 100 directories   vs  cp -r   (target <= 1.5x)
#   --extract of one 1 GB file                            vs  cp      (target <= 1.2x)
#   --create of the same two trees                        vs  tar cf  (target <= 1.5x)
#   --extract of a chain of 5,000 nested directories      vs  one of 2,500 (target <= 3x: linear)
# Each figure is the best of five runs.
set -euo pipefail
BUILD=${BUILD:-build}
DIRRIP=$(realpath "$BUILD/dirrip")
work=$(mktemp -d "${TMPDIR:-/tmp}/dirrip-bench-cli-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

best() {  # best wall time in seconds of a command, run three times after a set-up command
    local setup=$1; shift
    local best=""
    for _ in 1 2 3 4 5; do
        eval "$setup"
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-1e9}" | awk '{t=$2-$1; print (t<$3)?t:$3}')
    done
    echo "$best"
}

mkdir small
for d in $(seq -w 0 99); do
    mkdir "small/D$d"
    for f in $(seq -w 0 99); do
        head -c $(( (10#$f % 7 + 1) * 512 )) /dev/urandom >"small/D$d/F$f.BIN"
    done
done
mkdir big
head -c 1073741824 /dev/urandom >big/BIG.BIN
sync

row() {  # name ours theirs target
    awk -v n="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
        r = a / b; printf "%-34s %8.3f s %8.3f s %7.2fx  (target <= %sx) %s\n",
            n, a, b, r, t, (r <= t) ? "ok" : "OVER" }'
}

printf '%-34s %10s %10s %8s\n' "case" "dirrip" "tool" "ratio"
for tree in small big; do
    ours=$(best "rm -f $tree.dir; sync" "$DIRRIP" --create "$tree.dir" "$tree")
    theirs=$(best "rm -f $tree.tar; sync" tar cf "$tree.tar" "$tree")
    row "--create $tree vs tar cf" "$ours" "$theirs" 1.5
done
# Each timed run starts with nothing left to write back from the run before.
ours=$(best "rm -rf out; sync" "$DIRRIP" --extract small.dir -C out)
theirs=$(best "rm -rf copy; sync" cp -r small copy)
row "--extract 10,000 files vs cp -r" "$ours" "$theirs" 1.5
ours=$(best "rm -rf out; sync" "$DIRRIP" --extract big.dir -C out)
theirs=$(best "rm -rf copy; sync" cp big/BIG.BIN copy)
row "--extract 1 GB vs cp" "$ours" "$theirs" 1.2

# Chains of 2,500 and 5,000 directories, each holding the next and a one-byte
# file (written record by record: no tree that deep can be packed from disk,
# nor copied by cp). Extraction must grow linearly with the depth: twice the
# depth, about twice the time.
chain() {  # depth file
    perl -e '
        my $depth = $ARGV[0];
        my $listing = 3 * 44;
        my $data = $depth * $listing;
        sub record { my ($name, $type, $size, $offset) = @_;
                     pack("a32 V V V", $name, $type ^ 0xCDCDCD00, $size, $offset) }
        for my $level (1 .. $depth) {
            print $level < $depth ? record("D", 1, 0, $level * $listing)
                                  : record("G", 0, 1, $data);
            print record("F", 0, 1, $data + $level), record("", 0xFF, 0, 0);
        }
        print "x" x ($depth + 1);' "$1" >"$2"
}
chain 2500 half.dir
chain 5000 deep.dir
theirs=$(best "rm -rf out; sync" "$DIRRIP" --extract half.dir -C out)
ours=$(best "rm -rf out; sync" "$DIRRIP" --extract deep.dir -C out)
row "--extract 5,000 vs 2,500 nested dirs" "$ours" "$theirs" 3
