#!/usr/bin/env python3
"""A staged install (cmake --install --prefix DIR) holds every file in its
standard place, the menu entries, metainfo and manual pages validate, the
programs answer --help and --version without a display, and Velmora started
as its menu entry says opens the installed site in both panes.
    test_install.py BUILD_DIR VERSION"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installtest import SONAVEL_FILES, VELMORA_FILES, check, check_velmora_opens_site, run

SONAVEL, VELMORA = "example.velmora.Sonavel", "example.velmora.Velmora"


def check_layout(prefix):
    missing = [f for f in SONAVEL_FILES + VELMORA_FILES if not os.path.isfile(os.path.join(prefix, f))]
    check(not missing, "not installed: %s" % missing)
    check(os.path.isdir(os.path.join(prefix, "share/velmora/site/Korvath/sounds")), "the site's recordings are missing")


def check_metadata(prefix):
    for name in (SONAVEL, VELMORA):
        status, out, err = run(["desktop-file-validate", os.path.join(prefix, "share/applications/%s.desktop" % name)])
        errors = [line for line in (out + err).splitlines() if "error:" in line or "warning:" in line]
        check(status == 0 and not errors, "desktop-file-validate %s: %s" % (name, out + err))
        status, out, err = run(["appstreamcli", "validate", "--no-net",
                                os.path.join(prefix, "share/metainfo/%s.metainfo.xml" % name)])
        check(status == 0, "appstreamcli validate %s: %s" % (name, out + err))
    for page in ("sonavel", "sonavel-analyze", "velmora"):
        path = os.path.join(prefix, "share/man/man1/%s.1.gz" % page)
        status, out, err = run(["sh", "-c", 'zcat "$1" | groff -man -ww -z', "sh", path])
        check(status == 0 and not err.strip(), "manual page %s: %s" % (page, err))


def check_options(prefix, version):
    # No display at all: --help and --version must not need one.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    for program in ("sonavel", "sonavel-analyze", "velmora"):
        exe = os.path.join(prefix, "bin", program)
        status, out, err = run([exe, "--version"], env=env, timeout=30)
        check(status == 0 and out.split()[-1:] == [version],
              "%s --version: status %d, %r %r" % (program, status, out, err))
        status, out, err = run([exe, "--help"], env=env, timeout=30)
        check(status == 0 and "usage" in out.lower(), "%s --help: status %d, %r %r" % (program, status, out, err))


def main():
    build, version = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as prefix:
        status, out, err = run(["cmake", "--install", build, "--prefix", prefix])
        check(status == 0, "cmake --install failed:\n" + out + err)
        check_layout(prefix)
        check_metadata(prefix)
        check_options(prefix, version)
        with tempfile.TemporaryDirectory() as home:
            check_velmora_opens_site(prefix, prefix, home, {"QT_QPA_PLATFORM": "offscreen"})
    print("staged install: layout, entries, metainfo, manual pages, options and the installed site all good")


if __name__ == "__main__":
    main()
