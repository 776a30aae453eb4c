"""Helpers shared by the install, package and Wayland tests: private homes,
programs run in their own process group and always stopped, the web engine's
page list, a recording of the PulseAudio null sink, a test sound."""
import json
import math
import os
import signal
import struct
import subprocess
import sys
import threading
import tempfile
import time
import urllib.request
import wave

SKIP = 77

# What each package installs, relative to the prefix.
SONAVEL_FILES = ["bin/sonavel", "bin/sonavel-analyze", "share/man/man1/sonavel.1.gz",
                 "share/man/man1/sonavel-analyze.1.gz", "share/applications/example.velmora.Sonavel.desktop",
                 "share/icons/hicolor/scalable/apps/example.velmora.Sonavel.svg",
                 "share/metainfo/example.velmora.Sonavel.metainfo.xml", "share/doc/sonavel/copyright"]
VELMORA_FILES = ["bin/velmora", "share/velmora/site/Velmora.ini", "share/velmora/site/Korvath/index.htm",
                 "share/man/man1/velmora.1.gz", "share/applications/example.velmora.Velmora.desktop",
                 "share/icons/hicolor/scalable/apps/example.velmora.Velmora.svg",
                 "share/metainfo/example.velmora.Velmora.metainfo.xml", "share/doc/velmora/copyright"]


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def skip(message):
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP)


def check(condition, message):
    if not condition:
        fail(message)


def run(cmd, **kwargs):
    """Runs cmd and returns (exit status, stdout, stderr)."""
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=kwargs.pop("timeout", 600), **kwargs)
    return done.returncode, done.stdout, done.stderr


def wait_for(predicate, seconds, step=0.25):
    """The Python tests' bounded wait, as WaitFor is the C++ ones': only for
    what gives no event to wait on (the web engine's page list answers only
    when asked, a compositor's socket appears without a word)."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def private_env(root, **extra):
    """An environment whose home, profile, cache and data folders are fresh
    folders under root; XDG_RUNTIME_DIR stays (the sound server lives there)."""
    env = dict(os.environ)
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                      ("XDG_DATA_HOME", "data")):
        env[name] = os.path.join(root, sub)
        os.makedirs(env[name], exist_ok=True)
    if not env.get("XDG_RUNTIME_DIR"):
        env["XDG_RUNTIME_DIR"] = os.path.join(root, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    if os.getuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    env.update(extra)
    return env


class Program:
    """A program in its own session, logged to a file, ended with its whole
    process group; programs it starts detached are ended through stop_exe."""

    def __init__(self, cmd, env, cwd=None, log=None):
        self.log_path = log or tempfile.mktemp(suffix=".log")
        self.log = open(self.log_path, "w")
        self.proc = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=self.log, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, start_new_session=True)

    def alive(self):
        return self.proc.poll() is None

    def output(self):
        if not self.log.closed:
            self.log.flush()
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def stop(self):
        if self.alive():
            try:
                os.killpg(self.proc.pid, signal.SIGTERM)
                self.proc.wait(5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                try:
                    os.killpg(self.proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                self.proc.wait(5)
        self.log.close()


def stop_exe(exe):
    """Ends the processes whose executable is exe, a path inside the test's own
    tree (the player that Velmora or xdg-open started detached)."""
    exe = os.path.realpath(exe)
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % entry) == exe:
                os.kill(int(entry), signal.SIGKILL)
        except OSError:
            pass


def engine_pages(port):
    """The pages the web engine reports on its debugging port: [(url, title)]."""
    try:
        with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=2) as reply:
            return [(p.get("url", ""), p.get("title", "")) for p in json.load(reply) if p.get("type") == "page"]
    except (OSError, ValueError):
        return []


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_tone(path, seconds=2.0, rate=22050, hz=180.0):
    """A loud, steady vowel-like tone: easy to tell from the silence of an idle sink."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = bytearray()
        for i in range(int(seconds * rate)):
            t = i / rate
            v = 0.6 * math.sin(2 * math.pi * hz * t) + 0.25 * math.sin(2 * math.pi * 2 * hz * t)
            frames += struct.pack("<h", int(v * 20000))
        w.writeframes(bytes(frames))


class SinkRecording:
    """Records the null sink "vsink" that tests/support/with-pulse.sh sets up:
    a thread keeps the recorder's output in the file as it comes and weighs it."""
    RATE = 22050
    WINDOW = RATE // 20  # samples: 50 ms

    def __init__(self, path):
        if subprocess.run(["pactl", "info"], capture_output=True).returncode != 0:
            skip("no PulseAudio server answers: run through tests/support/with-pulse.sh")
        self.path = path
        self.best = 0.0
        self.ended = False
        self.heard = threading.Condition()
        self.proc = subprocess.Popen(["parec", "-d", "vsink.monitor", "--format=s16le", "--rate=%d" % self.RATE,
                                      "--channels=1"], stdout=subprocess.PIPE, start_new_session=True)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        """Until the recorder ends: each whole 50 ms window it delivers is
        written and weighed, and a waiter is woken."""
        size, pending = 2 * self.WINDOW, b""
        with open(self.path, "wb") as out:
            while True:
                data = os.read(self.proc.stdout.fileno(), 65536)
                out.write(data)
                pending += data
                loudest = self.best
                while len(pending) >= size:
                    samples = struct.unpack("<%dh" % self.WINDOW, pending[:size])
                    pending = pending[size:]
                    loudest = max(loudest, math.sqrt(sum(v * v for v in samples) / self.WINDOW))
                with self.heard:
                    self.best, self.ended = loudest, not data
                    self.heard.notify_all()
                if not data:
                    return

    def loudest(self):
        """Largest RMS over 50 ms windows heard so far (0 to 32767)."""
        with self.heard:
            return self.best

    def wait_for_sound(self, seconds, threshold=3000):
        """True once a window louder than threshold has been recorded; false
        when the bound passes or the recorder ends first."""
        with self.heard:
            self.heard.wait_for(lambda: self.best > threshold or self.ended, seconds)
            return self.best > threshold

    def stop(self):
        self.proc.terminate()
        self.proc.wait(5)
        self.reader.join(5)


def desktop_entry(path):
    """The keys of the [Desktop Entry] group of a desktop file."""
    keys, group = {}, None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                keys[key.strip()] = value.strip()
    return keys


def check_velmora_opens_site(tree, prefix, home, extra_env=None):
    """Starts velmora as its installed menu entry says (Exec= in Path=, with
    tree/bin first on PATH) and waits until both panes show the installed
    site's pages (the engine's debugging port lists them)."""
    entry = desktop_entry(os.path.join(tree, "share/applications/example.velmora.Velmora.desktop"))
    check(entry.get("Path") == os.path.join(prefix, "share/velmora/site"), "the entry starts velmora in %s" % entry)
    folder = os.path.join(tree, "share/velmora/site")
    port = free_port()
    env = private_env(home, QTWEBENGINE_REMOTE_DEBUGGING=str(port), **(extra_env or {}))
    env["PATH"] = os.path.join(tree, "bin") + os.pathsep + env.get("PATH", "")
    program = Program(entry["Exec"].split(), env, cwd=folder)
    try:
        site = "file://" + os.path.join(folder, "Korvath") + "/"
        if not wait_for(lambda: len(engine_pages(port)) >= 2 and
                        all(url.startswith(site) and title for url, title in engine_pages(port)), 60):
            fail("velmora's panes show %s, not the installed site %s\n%s" %
                 (engine_pages(port), site, program.output()))
    finally:
        program.stop()
