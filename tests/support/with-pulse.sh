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
  pulseaudio -k >/dev/null 2>&1 || true
  # Gone once it no longer answers (bounded at 60 s).
  for _ in $(seq 1 600); do
    pactl info >/dev/null 2>&1 || break
    sleep 0.1
  done
  rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
pulseaudio -D -n --exit-idle-time=-1 --system=false --disallow-exit \
  --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=vsink" >/dev/null 2>&1
for _ in $(seq 1 600); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "with-pulse: the PulseAudio server did not start" >&2
  exit 1
fi
pactl set-default-sink vsink
"$@"
