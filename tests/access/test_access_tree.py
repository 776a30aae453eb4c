"""Both programs as a screen reader finds them: every item a user operates or
enters has a name a person understands. Velmora's window with both panes open
and its menus; Sonavel's bar and menus, the analysis window and the measuring
view with the tiers of the TextGrid beside the sound. Run by with-atspi.sh (private D-Bus session, display and accessibility bus)."""
import argparse
import os
import re
import shutil
import subprocess
import sys

import pyatspi

import atspi_support as a11y


def check(what, faults):
    if faults:
        raise AssertionError(f"{what}: unnamed items:\n  " + "\n  ".join(faults))


def velmora_tree(args, session):
    site = f"{session.home}/site"
    shutil.copytree(args.site, site)
    session.start([args.velmora], cwd=site)
    app = a11y.application("Velmora")
    frame = a11y.window(app, "frame", "Velmora")
    a11y.wait_for("the home page's title on the upper pane's document",
                  lambda: a11y.find(frame, "document web", "Home – Korvath"))
    # The lower pane opens as the user drags the divider up from the window's foot.
    x, y, width, height = a11y.extents(a11y.find(frame, "filler", "Upper pane")[0])
    a11y.drag(x + width // 2, y + height + 2, x + width // 2, y + height // 2)
    a11y.wait_for("both panes' documents named after their pages",
                  lambda: len(a11y.find(frame, "document web", "Home – Korvath")) == 2
                  and a11y.extents(a11y.find(frame, "frame", "Lower pane")[0])[3] > 50)
    session.shot("access-velmora-both-panes.png")
    check("Velmora", a11y.unnamed(app))
    # Its dialogs, opened from the menus by their marked letters (the test's
    # display has no window manager to give the focus back after each).
    for menu_keys, title in ((("alt+o", "Return"), "Preferences"), (("alt+h", "a"), "About Velmora")):
        a11y.focus_window("Velmora")
        a11y.keys(*menu_keys)
        dialog = a11y.window(app, "dialog", title)
        check(title, a11y.unnamed(dialog))
        a11y.keys("Escape")
        a11y.wait_for(f"{title} closed", lambda: not a11y.find(app, "dialog", title))
    assert a11y.find(app, "link", "www.velmora.example") == [], "the About box's link outlived it"
    boxes = a11y.find(frame, "combo box")
    assert [box.name for box in boxes] == ["Address"], [box.name for box in boxes]
    assert a11y.find(frame, "split pane", "Panes")
    for title in ("Back", "Forward", "Stop", "Refresh", "Home", "Search", "Favorites", "Print", "Font"):
        buttons = a11y.find(frame, "push button", title)
        assert any(b.getState().contains(pyatspi.STATE_FOCUSABLE) for b in buttons), f"{title} takes no Tab"


TWO_TIERS = """File type = "ooTextFile"
Object class = "TextGrid"

0
2.4
<exists>
2
"IntervalTier"
"words"
0
2.4
2
0
1.2
"hello"
1.2
2.4
"world"
"TextTier"
"tones"
0
2.4
1
0.6
"H*"
"""


def sonavel_tree(args, session):
    sound = f"{session.home}/take.wav"
    subprocess.run([args.voicesynth, sound, "--seconds", "2.4", "--contour", "0:110,1.2:160,2.4:120"], check=True)
    with open(f"{session.home}/take.TextGrid", "w", encoding="utf-8") as grid:
        grid.write(TWO_TIERS)
    session.start([args.sonavel, sound])
    app = a11y.application("Sonavel")
    a11y.window(app, "frame", "Sonavel - take.wav")
    a11y.focus_window("Sonavel - take.wav")
    # The Play menu's title and its item share the word; the item has the shortcut.
    bindings = [a11y.key_bindings(item) for item in a11y.find(app, "menu item", "Play")]
    assert any("Ctrl+P" in b for item in bindings for b in item), bindings

    a11y.keys("ctrl+a")
    dialog = a11y.window(app, "dialog", "Pitch / Spectrogram")
    picture = a11y.wait_for("the described analysis picture",
                            lambda: [p for p in a11y.find(dialog, "image", "Pitch / Spectrogram") if p.description])[0]
    assert re.fullmatch(r"take\.wav: pitch \d+–\d+ Hz over 2\.4 s", picture.description), picture.description
    low, high = map(int, re.findall(r"(\d+)–(\d+)", picture.description)[0])
    assert 95 <= low <= 125 and 145 <= high <= 175, picture.description
    session.shot("access-sonavel-analysis.png")

    a11y.focus_window("Sonavel - take.wav")
    a11y.keys("ctrl+m")
    view = a11y.window(app, "frame", "take.wav + take.TextGrid — Measure")
    # Each tier a strip named by its tier; a click says the interval and its label.
    words = a11y.wait_for("the words tier's strip", lambda: [item for item, _ in a11y.walk(view)
                          if item.name == 'Tier 1 "words", interval tier, 2 intervals'])[0]
    tones = [item for item, _ in a11y.walk(view) if item.name == 'Tier 2 "tones", point tier, 1 point'][0]
    # Each interval and point an item of its strip; the keys' step is the reader's focus.
    items = [child.name for child in words if child.getRoleName() == "list item"]
    assert items == ["interval 1 of 2, 0.000 to 1.200 s: hello", "interval 2 of 2, 1.200 to 2.400 s: world"], items
    assert [child.name for child in tones if child.getRoleName() == "list item"] == ["point 1 of 1 at 0.600 s: H*"]
    a11y.focus_window("take.wav + take.TextGrid — Measure")
    a11y.keys("alt+Right")
    a11y.wait_for("the first interval selected and focused by the key", lambda: [
        child.name for child in words
        if child.getState().contains(pyatspi.STATE_SELECTED) and child.getState().contains(pyatspi.STATE_FOCUSED)]
        == ["interval 1 of 2, 0.000 to 1.200 s: hello"])
    x, y, width, height = a11y.extents(words)
    a11y.drag(x + width * 3 // 4 - 1, y + height // 2, x + width * 3 // 4, y + height // 2)  # a click
    a11y.wait_for("the interval clicked, said with its label",
                  lambda: words.description == 'Interval 2 of 2, 1.200 to 2.400 s: "world"')
    session.shot("access-sonavel-measure.png")
    check("Sonavel", a11y.unnamed(app))


def main():
    parser = argparse.ArgumentParser()
    for name in ("velmora", "sonavel", "voicesynth", "site"):
        parser.add_argument(f"--{name}", required=True, type=os.path.abspath)
    args = parser.parse_args()
    with a11y.Session() as session:
        velmora_tree(args, session)
    with a11y.Session() as session:
        sonavel_tree(args, session)
    print("both trees named")
    return 0


if __name__ == "__main__":
    sys.exit(main())
