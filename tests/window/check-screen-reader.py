#!/usr/bin/python3
"""What a screen reader is told when Tab moves into a list: over the AT-SPI
bus, as Orca listens, the last object to take the focus must be the list's
current line (a list item named after the line, in the list named after its
frame), not the list itself. Tab twice: from the input list into the output
list, whose current line becomes its first; then on into the not-placed list.

Run inside a D-Bus session with the accessibility bus launched, on an X
display: check-screen-reader.py PROGRAM DATA_DIR
"""

import os
import subprocess
import sys

import pyatspi
from gi.repository import GLib

program, data_dir = sys.argv[1], sys.argv[2]
focused = []  # (role, name, parent's name) of each object that took the focus


def on_focus(event):
    if event.detail1 != 1:
        return
    source = event.source
    try:
        parent = source.parent.name if source.parent is not None else ""
        focused.append((source.getRoleName(), source.name, parent))
    except Exception:  # the object may be gone already
        focused.append(("gone", "", ""))


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True)


app = subprocess.Popen(
    [program], cwd=data_dir, stderr=subprocess.DEVNULL,
    env=dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
steps = []
failure = []


def window_id():
    found = xdotool("search", "--onlyvisible", "--name", "^Quorvale$").stdout.split()
    return found[0] if found else None


def start():
    window = window_id()
    if window is None:
        if app.poll() is not None or len(steps) > 100:
            failure.append("no window")
            pyatspi.Registry.stop()
            return False
        steps.append("waiting")
        return True
    xdotool("windowfocus", "--sync", window)
    GLib.timeout_add(1500, press_tab, ["Output Data", "Not Placed Data"])
    return False


def press_tab(lists):
    expected_list = lists.pop(0)
    mark = len(focused)
    xdotool("key", "Tab")

    def check():
        told = focused[mark:]
        if not told:
            failure.append(f"Tab into {expected_list}: no focus told")
        else:
            role, name, parent = told[-1]
            print(f"Tab into {expected_list}: told {told}")
            if role != "list item" or parent != expected_list or not name:
                failure.append(f"Tab into {expected_list}: last told {told[-1]}, not its line")
        if lists:
            GLib.timeout_add(100, press_tab, lists)
        else:
            pyatspi.Registry.stop()
        return False

    GLib.timeout_add(1500, check)
    return False


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
GLib.timeout_add(200, start)
GLib.timeout_add(30000, lambda: (failure.append("timed out"), pyatspi.Registry.stop()))
pyatspi.Registry.start()
app.terminate()
app.wait()
if failure:
    print("FAILED: " + "; ".join(failure))
    sys.exit(1)
print("ok: Tab into a list tells its current line last")
