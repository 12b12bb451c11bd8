#!/usr/bin/python3
"""The real program on Wayland: a headless weston of the test's own, Qt's Wayland platform.

Run inside a D-Bus session of its own (dbus-run-session): starts weston with its headless backend,
starts the program on a folder there, renames a file through the window (its fields and its
Rename button, reached through the accessibility bus, which does not depend on the display),
and ends it with SIGTERM, which must end it cleanly with its settings saved, the place stored
before kept.

    wayland_test.py PROGRAM
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import accessibility_bus_test as bus  # noqa: E402
from gi.repository import Atspi  # noqa: E402


def start_weston(runtime):
    socket = "nomilo-wayland-test"
    weston = subprocess.Popen(["weston", "--backend=headless-backend.so", f"--socket={socket}",
                               "--idle-time=0", "--no-config"],
                              env=dict(os.environ, XDG_RUNTIME_DIR=runtime),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    bus.wait_for("weston's socket", lambda: os.path.exists(os.path.join(runtime, socket)), 20)
    return weston, socket


def main():
    program = sys.argv[1]
    runtime = tempfile.mkdtemp(prefix="nomilo-wayland-")
    os.chmod(runtime, 0o700)
    weston, socket = start_weston(runtime)
    sandbox = tempfile.mkdtemp(prefix="nomilo-wayland-home-")
    for sub in ("home", "config", "data", "state", "files"):
        os.makedirs(os.path.join(sandbox, sub))
    open(os.path.join(sandbox, "files", "IMG_1.jpg"), "w").close()
    bus.store(sandbox, "English", False)
    environment = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    environment.update(QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=socket, XDG_RUNTIME_DIR=runtime,
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", HOME=os.path.join(sandbox, "home"),
                       XDG_CONFIG_HOME=os.path.join(sandbox, "config"),
                       XDG_DATA_HOME=os.path.join(sandbox, "data"),
                       XDG_STATE_HOME=os.path.join(sandbox, "state"))
    process = subprocess.Popen([program, os.path.join(sandbox, "files")], env=environment)
    try:
        frame = bus.application(process).get_child_at_index(0)
        bus.wait_for("the controls", lambda: any(n.get_name() == "Files" for n in bus.walk(frame)))
        controls = {n.get_name(): n for n in bus.walk(frame)}
        bus.check(frame.get_name() == "Nomilo", "the window is shown with its caption")
        with open(f"/proc/{process.pid}/maps") as maps:
            bus.check("libQt6WaylandClient" in maps.read(), "the window runs natively on Wayland")
        Atspi.EditableText.set_text_contents(controls["Find"], "IMG")
        Atspi.EditableText.set_text_contents(controls["Replace with"], "Trip")
        rename = controls["Rename"]
        Atspi.Action.do_action(rename, 0)
        renamed = os.path.join(sandbox, "files", "Trip_1.jpg")
        try:
            bus.wait_for("the rename", lambda: os.path.exists(renamed), 10)
        except TimeoutError:
            bus.check(False, "Rename renames the file on Wayland")
    finally:
        bus.end(process, "Wayland")
        weston.terminate()
        weston.wait()
    settings = open(os.path.join(sandbox, "config", "nomilo", "registry.reg"), errors="replace").read()
    bus.check('"Width"=' in settings, "the settings are saved at the end")
    # The window cannot tell its place on Wayland: the place stored (by an X11 session) stays.
    bus.check('"Left"="10"' in settings and '"Top"="10"' in settings,
              f"the stored place stays ({settings!r})")
    shutil.rmtree(sandbox, ignore_errors=True)
    shutil.rmtree(runtime, ignore_errors=True)
    return bus.outcome("the window on Wayland")


if __name__ == "__main__":
    sys.exit(main())
