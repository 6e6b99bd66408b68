#!/usr/bin/env bash
# Makes the file lists the Linux build writes for ARCHIVE (F3, then Alt-F3)
# in the current folder, as the reference for the Windows build's lists.
#   linux_lists.sh ARCHIVE
set -euo pipefail
socket="dirrip-lists-$$"
tmux -L "$socket" new-session -d -x 80 -y 25 "$LINUX_DIRRIP $1"
trap 'tmux -L "$socket" kill-server 2>/dev/null || true' EXIT
base=$(basename "$1"); base=${base%.*}; base=${base^^}
wait_for() { for _ in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done; return 1; }
sleep 0.5
tmux -L "$socket" send-keys F3
wait_for "$base.lst"
tmux -L "$socket" send-keys M-F3
wait_for "$base.sel"
sleep 0.3
tmux -L "$socket" send-keys Escape Escape
