#!/usr/bin/env python3
"""The three Debian packages: names, contents, Depends, lintian, and the
programs run from a tree extracted with dpkg -x: sonavel-analyze --version,
Debian's python3 importing the module from any folder, Velmora started as
its menu entry says opens the installed site, and xdg-open of a WAV plays it in Sonavel into the null sink. Runs on X11, as
on a desktop, under tests/support/with-pulse.sh and with-display.sh.
    test_packages.py BUILD_DIR VERSION
Checks the packages in $VELMORA_DEB_DIR when set (scripts/test-packages points
it at dist/); otherwise makes them from BUILD_DIR with cpack first."""
import glob
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installtest import (SONAVEL_FILES, VELMORA_FILES, Program, SinkRecording, check, check_velmora_opens_site,
                         fail, private_env, run, skip, stop_exe, write_tone)


def field(deb, name):
    status, out, err = run(["dpkg-deb", "-f", deb, name])
    check(status == 0, "dpkg-deb -f %s: %s" % (deb, err))
    return out.strip()


def contents(deb):
    status, out, err = run(["dpkg-deb", "-c", deb])
    check(status == 0, "dpkg-deb -c %s: %s" % (deb, err))
    return {line.split()[-1].lstrip(".") for line in out.splitlines()}


def dependency_names(depends):
    return [alternative.split("|")[0].split("(")[0].strip() for alternative in depends.split(",")]


def check_package(deb, name, version, must_hold, must_not_hold):
    check(field(deb, "Package") == name and field(deb, "Version") == version,
          "%s is %s %s" % (deb, field(deb, "Package"), field(deb, "Version")))
    files = contents(deb)
    missing = [f for f in must_hold if f not in files]
    check(not missing, "%s lacks %s" % (name, missing))
    extra = [f for f in must_not_hold if f in files]
    check(not extra, "%s holds %s, which belongs to the other package" % (name, extra))
    return field(deb, "Depends")


def check_archive_offers(depends):
    """Every package named (the library packages dpkg-shlibdeps found, and the
    rest) must be one the archive offers, or apt cannot install the .deb."""
    names = sorted({dep for d in depends for dep in dependency_names(d)} - {"sonavel", "velmora"})
    status, out, err = run(["apt-cache", "show", "--no-all-versions"] + names)
    check(status == 0, "no archive offers some of %s: %s" % (names, err))


def check_lintian(debs):
    status, out, err = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0"] + debs, timeout=900)
    print("lintian:\n" + (out + err).strip())
    check(status == 0, "lintian reports errors")


def check_xdg_open_plays(tree, home):
    env = private_env(home)
    env["PATH"] = os.path.join(tree, "bin") + os.pathsep + env["PATH"]
    env["XDG_DATA_DIRS"] = os.path.join(tree, "share") + os.pathsep + env.get("XDG_DATA_DIRS", "/usr/share")
    # What the package's trigger does on a real install: the MIME cache of
    # the folder that holds the menu entries.
    status, out, err = run(["update-desktop-database", os.path.join(tree, "share/applications")])
    check(status == 0, "update-desktop-database: " + out + err)
    for mime in ("audio/x-wav", "audio/flac", "audio/x-opus+ogg", "audio/mpeg"):
        status, out, err = run(["xdg-mime", "query", "default", mime], env=env)
        check(out.strip() == "example.velmora.Sonavel.desktop", "%s opens with %r %s" % (mime, out, err))

    take = os.path.join(home, "take.wav")
    write_tone(take)
    recording = SinkRecording(os.path.join(home, "sink.raw"))
    opener = Program(["xdg-open", take], env, cwd=home)
    try:
        if not recording.wait_for_sound(30):
            fail("xdg-open %s: nothing reached the sink (loudest %.0f)\n%s" %
                 (take, recording.loudest(), opener.output()))
    finally:
        recording.stop()
        opener.stop()
        stop_exe(os.path.join(tree, "bin/sonavel"))


def check_python_package(deb, version):
    """The package sonavel in Debian's folder for every python3 (its Python part,
    stubs and compiled part), the example; compiled and cleaned by python3's own
    tools; Depends on the interpreter, numpy and the C++ runtime dpkg-shlibdeps finds."""
    files = contents(deb)
    package = "/usr/lib/python3/dist-packages/sonavel/"
    module = [f for f in files if f.startswith(package + "_sonavel.") and f.endswith(".so")]
    expected = [package + name for name in ("__init__.py", "__init__.pyi", "py.typed")] + [
        "/usr/share/doc/python3-sonavel/copyright", "/usr/share/doc/python3-sonavel/examples/dask_pitch.py"]
    check(len(module) == 1 and all(f in files for f in expected), "python3-sonavel holds %s" % sorted(files))
    status, out, err = run(["sh", "-c", 'dpkg-deb --ctrl-tarfile "$1" | tar -xO ./postinst ./prerm', "sh", deb])
    check(status == 0 and "py3compile -p python3-sonavel" in out and "py3clean -p python3-sonavel" in out,
          "python3-sonavel's maintainer scripts: %r %r" % (out, err))
    check(field(deb, "Package") == "python3-sonavel" and field(deb, "Version") == version,
          "%s is %s %s" % (deb, field(deb, "Package"), field(deb, "Version")))
    depends = field(deb, "Depends")
    check({"python3", "python3-numpy", "libstdc++6"} <= set(dependency_names(depends)),
          "python3-sonavel's Depends: " + depends)
    return depends


def check_python_imports(root, version):
    """Debian's python3 imports the extracted module from any folder and tracks a sound."""
    sound = os.path.join(root, "usr/share/velmora/site/Korvath/sounds/vowel-a.wav")
    code = ("import pickle, sonavel; f = pickle.loads(pickle.dumps(sonavel.pitch))(%r).pitch_hz;"
            " print(sonavel.__version__, (f > 0).sum() > 0)" % sound)
    env = dict(os.environ, PYTHONPATH=os.path.join(root, "usr/lib/python3/dist-packages"))
    status, out, err = run(["/usr/bin/python3", "-c", code], env=env, cwd="/")
    check(status == 0 and out.split() == [version, "True"], "import sonavel from the package: %r %r" % (out, err))


def check_extracted(debs, version):
    with tempfile.TemporaryDirectory() as root:
        for deb in debs:
            status, _, err = run(["dpkg", "-x", deb, root])
            check(status == 0, "dpkg -x %s: %s" % (deb, err))
        tree = os.path.join(root, "usr")
        status, out, err = run([os.path.join(tree, "bin/sonavel-analyze"), "--version"])
        check(status == 0 and version in out, "sonavel-analyze --version from the package: %r %r" % (out, err))

        check_python_imports(root, version)
        check_velmora_opens_site(tree, "/usr", os.path.join(root, "home"))
        check_xdg_open_plays(tree, os.path.join(root, "home2"))


def main():
    build, version = sys.argv[1], sys.argv[2]
    arch = run(["dpkg", "--print-architecture"])[1].strip()
    with tempfile.TemporaryDirectory() as made:
        deb_dir = os.environ.get("VELMORA_DEB_DIR")
        if not deb_dir:
            if not shutil.which("dpkg-shlibdeps"):
                skip("dpkg-shlibdeps (dpkg-dev) is not installed")
            deb_dir = made
            status, out, err = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", made],
                                   timeout=1200)
            check(status == 0, "cpack failed:\n" + out + err)
        sonavel = os.path.join(deb_dir, "sonavel_%s_%s.deb" % (version, arch))
        velmora = os.path.join(deb_dir, "velmora_%s_%s.deb" % (version, arch))
        check(os.path.isfile(sonavel) and os.path.isfile(velmora),
              "expected %s and %s; found %s" % (sonavel, velmora, glob.glob(os.path.join(deb_dir, "*.deb"))))

        sonavel_only = ["/usr/" + f for f in SONAVEL_FILES]
        velmora_only = ["/usr/" + f for f in VELMORA_FILES]
        sonavel_depends = check_package(sonavel, "sonavel", version, sonavel_only, velmora_only)
        # Its sound goes to the server through the server's own library, one connection per opening.
        check("libpulse0" in dependency_names(sonavel_depends), "sonavel's Depends: " + sonavel_depends)
        velmora_depends = check_package(velmora, "velmora", version, velmora_only, sonavel_only)
        check("sonavel (= %s)" % version in velmora_depends, "velmora's Depends: " + velmora_depends)
        check("libqt6webenginecore6" in dependency_names(velmora_depends), "velmora's Depends: " + velmora_depends)
        python = os.path.join(deb_dir, "python3-sonavel_%s_%s.deb" % (version, arch))
        python_depends = check_python_package(python, version)
        check_archive_offers([sonavel_depends, velmora_depends, python_depends])

        if os.getuid() == 0:
            status, out, err = run(["apt-get", "install", "--simulate", "-q", sonavel, velmora, python])
            check(status == 0, "apt cannot install the packages:\n" + out + err)
        check_lintian([sonavel, velmora, python])
        check_extracted([sonavel, velmora, python], version)
    print("packages: names, contents, Depends, lintian, and the extracted programs all good")


if __name__ == "__main__":
    main()
