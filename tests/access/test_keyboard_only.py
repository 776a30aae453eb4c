"""The main job by keyboard alone, with real key events through the X server:
in Velmora, Tab from the start reaches the toolbar, Ctrl+L takes the address
box, the typed address of a recording and Enter start Sonavel on it; in
Sonavel, Ctrl+A opens the analysis window. Run by with-atspi.sh (and
with-pulse.sh, so the player can play what it opens)."""
import argparse
import os
import re
import shutil
import subprocess
import sys


import atspi_support as a11y


def main():
    parser = argparse.ArgumentParser()
    for name in ("velmora", "voicesynth", "site"):
        parser.add_argument(f"--{name}", required=True, type=os.path.abspath)
    args = parser.parse_args()
    with a11y.Session() as session:
        site = f"{session.home}/site"
        shutil.copytree(args.site, site)
        sound = f"{session.home}/take.wav"
        subprocess.run([args.voicesynth, sound, "--seconds", "2.4", "--contour", "0:110,1.2:160,2.4:120"], check=True)
        session.start([args.velmora], cwd=site)
        velmora = a11y.application("Velmora")
        frame = a11y.window(velmora, "frame", "Velmora")
        a11y.wait_for("the home page", lambda: a11y.find(frame, "document web", "Home – Korvath"))

        focus = a11y.FocusTracker(frame)
        a11y.focus_window("Velmora")
        focus.at("the address box at the start", lambda path: "combo box 'Address'" in path)
        a11y.keys("shift+Tab")
        focus.at("the toolbar's last button", lambda path: path[-1] == "push button 'Font'")
        session.shot("keyboard-velmora-shift-tab.png")
        # Tab goes back to the address box, on into the upper page and through its links.
        a11y.keys("Tab", "Tab", "Tab")
        focus.at("the upper page's second link", lambda path: "filler 'Upper pane'" in path
                 and path[-1] == "link 'Vowels and formants'")
        session.shot("keyboard-velmora-tab.png")

        a11y.keys("ctrl+l")
        focus.at("the address box again", lambda path: "combo box 'Address'" in path)
        session.shot("keyboard-velmora-address.png")
        a11y.type_text(sound)
        a11y.keys("Return")

        sonavel = a11y.application("Sonavel")
        a11y.window(sonavel, "frame", "Sonavel - take.wav")
        a11y.focus_window("Sonavel - take.wav")
        a11y.keys("ctrl+a")
        dialog = a11y.window(sonavel, "dialog", "Pitch / Spectrogram")
        picture = a11y.wait_for("the described analysis picture",
                                lambda: [p for p in a11y.find(dialog, "image") if p.description])[0]
        assert re.search(r"pitch \d+–\d+ Hz over 2\.4 s$", picture.description), picture.description
        session.shot("keyboard-sonavel-analysis.png")
    print("opened and analysed by keyboard")
    return 0


if __name__ == "__main__":
    sys.exit(main())
