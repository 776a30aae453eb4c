#!/usr/bin/env python3
"""Both installed programs on Wayland (Weston's headless back end,
QT_QPA_PLATFORM=wayland, no fallback): Sonavel plays a WAV into the null
sink; Velmora shows the site and opens a WAV home address, and the sound
handed to Sonavel reaches the sink. Runs under tests/support/with-pulse.sh.
    test_wayland.py BUILD_DIR"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installtest import (Program, SinkRecording, check, engine_pages, fail, free_port, private_env, run, skip,
                         stop_exe, wait_for, write_tone)

def start_weston(runtime):
    socket = "wayland-velmora-test"
    weston = Program(["weston", "--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0",
                      "--width=1024", "--height=768"], dict(os.environ, XDG_RUNTIME_DIR=runtime))
    if not wait_for(lambda: os.path.exists(os.path.join(runtime, socket)), 20):
        weston.stop()
        fail("weston did not start:\n" + weston.output())
    return weston, socket


def wayland_env(home, socket, **extra):
    env = private_env(home, WAYLAND_DISPLAY=socket, QT_QPA_PLATFORM="wayland", **extra)
    env.pop("DISPLAY", None)
    return env


def sonavel_plays(prefix, socket, work):
    take = os.path.join(work, "take.wav")
    write_tone(take)
    recording = SinkRecording(os.path.join(work, "sonavel.raw"))
    sonavel = Program([os.path.join(prefix, "bin/sonavel"), take], wayland_env(os.path.join(work, "h1"), socket))
    try:
        if not recording.wait_for_sound(30):
            fail("sonavel on Wayland: nothing reached the sink\n" + sonavel.output())
    finally:
        recording.stop()
        sonavel.stop()


def velmora_hands_off(prefix, socket, work):
    # A start-up folder of its own: Velmora.ini makes a recording the upper
    # pane's home (a page's script opens no sound by itself, the home address
    # does); the lower pane gets the installed site.
    folder = os.path.join(work, "start")
    os.makedirs(folder)
    with open(os.path.join(folder, "Velmora.ini"), "w") as f:
        f.write("[HomeLocal]\nHomeAddressTop=take.wav\n")
    write_tone(os.path.join(folder, "take.wav"))
    os.symlink(os.path.join(prefix, "share/velmora/site/Korvath"), os.path.join(folder, "Korvath"))

    port = free_port()
    recording = SinkRecording(os.path.join(work, "velmora.raw"))
    velmora = Program([os.path.join(prefix, "bin/velmora")],
                      wayland_env(os.path.join(work, "h2"), socket, QTWEBENGINE_REMOTE_DEBUGGING=str(port)),
                      cwd=folder)
    try:
        if not wait_for(lambda: any("Korvath" in title for _, title in engine_pages(port)), 60):
            fail("velmora on Wayland shows no page: %s\n%s" % (engine_pages(port), velmora.output()))
        if not recording.wait_for_sound(40):
            fail("velmora on Wayland: the hand-off to sonavel reached no sink\n" + velmora.output())
    finally:
        recording.stop()
        velmora.stop()
        stop_exe(os.path.join(prefix, "bin/sonavel"))


def main():
    build = sys.argv[1]
    if not shutil.which("weston"):
        skip("weston is not installed")
    runtime = os.environ.get("XDG_RUNTIME_DIR")
    if not runtime:
        skip("no XDG_RUNTIME_DIR: run through tests/support/with-pulse.sh")
    with tempfile.TemporaryDirectory() as work:
        prefix = os.path.join(work, "prefix")
        status, out, err = run(["cmake", "--install", build, "--prefix", prefix])
        check(status == 0, "cmake --install failed:\n" + out + err)
        weston, socket = start_weston(runtime)
        try:
            sonavel_plays(prefix, socket, work)
            velmora_hands_off(prefix, socket, work)
        finally:
            weston.stop()
    print("wayland: sonavel plays, velmora shows the site and hands its home recording to sonavel")


if __name__ == "__main__":
    main()
