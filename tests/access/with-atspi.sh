#!/usr/bin/env bash
# Runs a command the way a screen reader meets the programs: a private D-Bus
# session, a private X display and the accessibility bus on it. The programs
# started by the command expose their widgets there (QT_LINUX_ACCESSIBILITY_ALWAYS_ON).
set -u
if [ -z "${WITH_ATSPI_INNER:-}" ]; then
  export WITH_ATSPI_INNER=1
  exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
trap 'kill $launcher 2>/dev/null; wait $launcher 2>/dev/null' EXIT
"$@"
