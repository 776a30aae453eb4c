#!/usr/bin/env bash
# Runs a command against a private PulseAudio server whose default sink is a
# null sink "vsink"; the server is stopped afterwards whatever happens.
# The command can record what plays with: parec -d vsink.monitor ...
set -u
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d /tmp/pulse-test.XXXXXX)
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
export HOME_SAVE="${HOME:-}"
cleanup() {
  local pid
  pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null || true)
  pulseaudio -k >/dev/null 2>&1 || true
  # Gone once its process has ended (bounded at 60 s): -k only asks it to go.
  if [ -n "$pid" ]; then
    python3 -c 'import os, select, sys
try:
    select.select([os.pidfd_open(int(sys.argv[1]))], [], [], 60)
except ProcessLookupError:
    pass' "$pid" || true
  fi
  rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
"$(dirname "$0")/start-pulse.sh" || exit 1
"$@"
