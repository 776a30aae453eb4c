"""What the accessibility tests share: the programs started in a private home,
their trees as the accessibility registry hands them to a screen reader, real
key and mouse events (xdotool) and the one bounded wait for either."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import pyatspi
from gi.repository import GLib

# Bounds a failure only: a passing test never waits this long.
EVENT_BOUND_S = 60

# Items a user operates: each needs a name a person understands.
INTERACTIVE_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "text", "entry",
    "password text", "menu", "menu item", "check menu item", "radio menu item", "page tab",
    "slider", "spin button", "scroll bar", "list", "list item", "link", "tree", "tree item",
}
# Regions a reader announces when the user enters them.
REGION_ROLES = {
    "frame", "dialog", "window", "split pane", "layered pane", "scroll pane", "tool bar",
    "status bar", "popup menu", "document web", "document frame", "image",
}


def wait_for(what, predicate, timeout=EVENT_BOUND_S):
    """Returns predicate()'s first true value; the registry answers nothing
    when a tree changes, so it is asked again until the bound runs out."""
    deadline = time.monotonic() + timeout
    while True:
        # Events from the bus (focus changes) arrive as the main context runs.
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            value = predicate()
        except Exception:  # a part of the tree went while it was read
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Session:
    """Programs started in a private home on the test's display, ended at the end."""

    def __init__(self):
        self.home = tempfile.mkdtemp(prefix="access-")
        self.processes = []
        self.shots = os.environ.get("VELMORA_SCREENSHOT_DIR")
        self.env = dict(os.environ)
        for name, sub in (("HOME", ""), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_DATA_HOME", "data")):
            self.env[name] = os.path.join(self.home, sub)
            os.makedirs(self.env[name], exist_ok=True)
        runtime = os.path.join(self.home, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env.setdefault("XDG_RUNTIME_DIR", runtime)
        wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=EVENT_BOUND_S)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def start(self, args, cwd=None):
        process = subprocess.Popen(args, cwd=cwd, env=self.env)
        self.processes.append(process)
        return process

    def shot(self, name):
        """The whole screen as a PNG in VELMORA_SCREENSHOT_DIR, when set."""
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(self.shots, name)], check=False)


def application(name):
    """The registry's application of that name (the program's own), waited for."""
    def find():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        return None
    return wait_for(f"the application {name}", find)


def window(app, role, name):
    """The showing top-level window of app with that role and name, waited for."""
    def find():
        for child in app:
            if child is not None and child.getRoleName() == role and child.name == name \
                    and child.getState().contains(pyatspi.STATE_SHOWING):
                return child
        return None
    return wait_for(f"the {role} {name!r}", find)


def gone(error):
    """Whether an AT-SPI error says the item no longer exists."""
    return "No such object path" in str(error)


def walk(node, path=(), into_pages=False):
    """Every item under node (node included) with its path of names; a web
    document is an item, the page's own content inside it is the page's and
    is walked only when asked. An item destroyed while the walk is under way
    (a tooltip or popup going away between the listing of its parent's
    children and the reading of its role) is no longer on screen: it is
    passed over with what lies under it."""
    try:
        role = node.getRoleName()
        here = path + (f"{role} {node.name!r}",)
        children = [child for child in node if child is not None]
    except GLib.GError as error:
        if gone(error):
            return
        raise
    yield node, here
    if role in ("document web", "document frame") and not into_pages:
        return
    for child in children:
        yield from walk(child, here, into_pages)


def find(node, role, name=None):
    """Every item under node with the role (and the name, a string or a regex)."""
    found = []
    for item, _ in walk(node):
        try:
            if item.getRoleName() != role:
                continue
            if name is None or (item.name == name if isinstance(name, str) else re.fullmatch(name, item.name)):
                found.append(item)
        except GLib.GError as error:
            if not gone(error):
                raise
    return found


def unnamed(node):
    """Paths of the items a user operates or enters that have no name a person
    understands: none at all, or a shortcut glued on after a tab."""
    faults = []
    for item, path in walk(node):
        try:
            role = item.getRoleName()
            focusable = item.getState().contains(pyatspi.STATE_FOCUSABLE)
            name = item.name or ""
        except GLib.GError as error:
            if gone(error):
                continue
            raise
        if role in INTERACTIVE_ROLES or role in REGION_ROLES or focusable:
            if not name.strip() or "\t" in name:
                faults.append(" > ".join(path))
    return faults


def key_bindings(item):
    try:
        actions = item.queryAction()
    except NotImplementedError:
        return []
    return [actions.getKeyBinding(i) for i in range(actions.nActions)]


def focus_window(title):
    """Gives the visible window of that title the keyboard focus, as a window
    manager would on a click (the test's display has none). Velmora's splash
    bears the program's name too until it closes: the focus waits until one
    window of the title is left."""
    def only_one():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"],
                               capture_output=True, text=True, timeout=EVENT_BOUND_S).stdout.split()
        return found[0] if len(found) == 1 else None
    window = wait_for(f"one visible window named {title!r}", only_one)
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True, timeout=EVENT_BOUND_S)


def keys(*names):
    """Real key presses through the X server, one after the other."""
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True, timeout=EVENT_BOUND_S)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "5", text], check=True, timeout=EVENT_BOUND_S)


def drag(x0, y0, x1, y1):
    subprocess.run(["xdotool", "mousemove", "--sync", str(x0), str(y0), "mousedown", "1",
                    "mousemove", "--sync", str(x1), str(y1), "mouseup", "1"], check=True, timeout=EVENT_BOUND_S)


def extents(item):
    box = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


class FocusTracker:
    """Where the keyboard focus is, as a screen reader learns it: from the
    focus events of the programs (delivered while wait_for waits)."""

    def __init__(self, window):
        # The focus may have come before the first event this tracker hears.
        pyatspi.Registry.registerEventListener(self._on_focus, "object:state-changed:focused")
        self.path = focused(window)

    def _on_focus(self, event):
        if event.detail1:
            self.path = path_of(event.source)

    def at(self, what, predicate):
        """Waits until predicate(path of the focused item) holds."""
        return wait_for(what, lambda: self.path and predicate(self.path))


def path_of(item):
    path = []
    while item is not None and item.getRoleName() != "application":
        path.insert(0, f"{item.getRoleName()} {item.name!r}")
        item = item.parent
    return tuple(path)


def focused(node):
    """The path of the item under node that has the keyboard focus (the
    outermost one: a combo box before its edit field), or None. A page's
    document says it is focused whenever its view last had the focus, so only
    the items inside it count."""
    for item, path in walk(node, into_pages=True):
        if item.getState().contains(pyatspi.STATE_FOCUSED) and item.getRoleName() != "document web":
            return path
    return None
