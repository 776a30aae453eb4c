#!/usr/bin/env bash
# Runs a command under a private Xvfb display (for tests that need a real X
# server; most GUI tests run with QT_QPA_PLATFORM=offscreen instead).
set -u
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
