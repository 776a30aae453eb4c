#!/usr/bin/env bash
# Starts the private PulseAudio server of with-pulse.sh in $XDG_RUNTIME_DIR: a
# null sink "vsink" as the default sink. Also run by tests that stop the server
# and bring it back. Status 1 when it did not come up.
set -u
# -D returns once the daemon has started, its modules loaded.
pulseaudio -D -n --exit-idle-time=-1 --system=false --disallow-exit \
  --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=vsink" >/dev/null 2>&1
if ! pactl info >/dev/null 2>&1; then
  echo "start-pulse: the PulseAudio server did not start" >&2
  exit 1
fi
pactl set-default-sink vsink
