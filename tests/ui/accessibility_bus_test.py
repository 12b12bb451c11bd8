#!/usr/bin/python3
"""The real window as a screen reader meets it through the accessibility bus (AT-SPI).

Run inside an X display and a D-Bus session of its own (xvfb-run, then dbus-run-session, so that
the bus's services see the display and can type): starts the program once per interface language
on a folder of its own, and checks what the bus says of the window, its controls, the file list's
selected entries and the preview of new names, and what a screen reader hears as the keyboard
moves the focus.

    accessibility_bus_test.py PROGRAM
"""

import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

LANGUAGES = {
    "Hrvatski": {
        "caption": "Velkaro",
        "names": ["Pronađi", "Zamijeni s", "Maska datoteka", "Pogon", "Mape", "Datoteke",
                  "Zamijeni mjesta traženom i zamjenskom tekstu"],
        "every": "Preimenovanje uzima svaku datoteku s popisa",
        "selected": "Preimenovanje uzima samo selektirane datoteke",
        "count": "{} od {}",
        "rename": "Preimenuj",
        "taken": "ime je zauzeto",
        "switches": ["Preimenuj samo selektirane datoteke", "Prikaži nova imena", "Regularni izraz",
                     "Uključi podmape"],
    },
    "English": {
        "caption": "Nomilo",
        "names": ["Find", "Replace with", "File mask", "Drive", "Folders", "Files",
                  "Swap find and replace texts"],
        "every": "Rename takes every file of the list",
        "selected": "Rename takes the selected files only",
        "count": "{} of {}",
        "rename": "Rename",
        "taken": "the name is taken",
        "switches": ["Rename only selected items", "Show new names", "Regular expression",
                     "Include subfolders"],
    },
    "Deutsch": {
        "caption": "Drostel",
        "names": ["Suchen nach", "Ersetzen durch", "Dateimaske", "Laufwerk", "Ordner", "Dateien",
                  "Such- und Ersetzungstext tauschen"],
        "every": "Umbenannt wird jede Datei der Liste",
        "selected": "Umbenannt werden nur die ausgewählten Dateien",
        "count": "{} von {}",
        "rename": "Umnennen",
        "taken": "der Name ist vergeben",
        "switches": ["Rename only selected items", "Neue Namen anzeigen", "Regulärer Ausdruck",
                     "Unterordner einbeziehen"],
    },
}
FIND, REPLACE, MASK, DRIVE, FOLDERS, FILES, SWAP = range(7)
SELECTED_ONLY, SHOW_NEW_NAMES, REGULAR_EXPRESSION, LAST_SWITCH = range(4)
ROLES = ["text", "text", "text", "combo box", "list", "list", "push button"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, flush=True)


def pump(seconds):
    """Lets the bus deliver calls and events for a while."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def wait_for(what, probe, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        pump(0.1)
    raise TimeoutError(what)


def walk(node, depth=0):
    yield node
    if depth < 12:
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is not None and node.get_role_name() != "list":
                yield from walk(child, depth + 1)


def states(node):
    state_set = node.get_state_set()
    return {nick for nick in ("selected", "multiselectable", "selectable", "focused", "checked")
            if state_set.contains(getattr(Atspi.StateType, nick.upper()))}


def activate(caption):
    """Gives the window the keyboard focus, as a window manager would (the display has none)."""
    info = subprocess.run(["xwininfo", "-name", caption], capture_output=True, text=True,
                          check=True).stdout
    window = int(re.search(r"Window id: (0x[0-9a-f]+)", info).group(1), 16)
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    display = ctypes.c_void_p(xlib.XOpenDisplay(None))
    xlib.XSetInputFocus(display, ctypes.c_ulong(window), 1, 0)  # RevertToPointerRoot, now
    xlib.XCloseDisplay(display)


TAB, UP, DOWN, ESCAPE, MENU = 0xff09, 0xff52, 0xff54, 0xff1b, 0xff67  # the keysyms


def press(keysym):
    Atspi.generate_keyboard_event(keysym, None, Atspi.KeySynthType.SYM)


def focus_moves(focused, keys):
    """Presses Tab `keys` times; answers the (role, name) of each object that took the focus."""
    focused.clear()
    for _ in range(keys):
        press(TAB)
        pump(0.3)
    pump(0.5)
    return list(focused)


def check_focus_reading(language, texts, frame, focused, selected_only):
    """What a screen reader hears as Tab moves through the drive selector and both lists: the
    drive selector's value, and the current entry of a list right after the list."""
    activate(texts["caption"])
    wait_for("the active window", lambda: frame.get_state_set().contains(Atspi.StateType.ACTIVE))
    pump(0.5)
    # From the file list, which has the focus first: seven steps to the drive selector.
    moves = focus_moves(focused, 7)
    check(moves and moves[-1] == ("combo box", texts["names"][DRIVE]),
          f"{language}: Tab reaches the drive selector ({moves})")
    drive = next(n for n in walk(frame) if n.get_name() == texts["names"][DRIVE])
    value = Atspi.Text.get_text(drive, 0, -1) if "Text" in drive.get_interfaces() else ""
    drop_down = drive.get_child_at_index(0)
    drives = [drop_down.get_child_at_index(i).get_name() for i in range(drop_down.get_child_count())]
    check(value and value in drives, f"{language}: the drive selector tells its drive ({value!r})")
    # The mask, then the folder list: the folder shown is its current entry.
    moves = focus_moves(focused, 2)
    check(moves[-2:] == [("list", texts["names"][FOLDERS]), ("list item", "files")],
          f"{language}: the folder list's current entry is heard after the list ({moves})")
    moves = focus_moves(focused, 1)
    check(moves[-2:] == [("list", texts["names"][FILES]), ("list item", "IMG_1.jpg")],
          f"{language}: the file list's current entry is heard after the list ({moves})")
    files = next(n for n in walk(frame) if n.get_name() == texts["names"][FILES])
    entry = files.get_child_at_index(0)
    check("focused" in states(entry) and ("selected" in states(entry)) != selected_only,
          f"{language}: the current entry tells its state ({states(entry)})")


def check_menu_reading(language, texts, focused, focus_sources, selected_only):
    """What a screen reader hears of the window's menu: each checkable item checked or not
    checked, a language as one of a choice, each item found at its place in the menu (a screen
    reader drops an item whose place it cannot find)."""
    focus_sources.clear()
    press(MENU)
    pump(0.5)
    press(DOWN)
    def menu_of(source):
        try:
            parent = source.get_parent()
            return parent if parent.get_role_name() == "popup menu" else None
        except GLib.Error:  # an object that went meanwhile
            return None
    menu = wait_for("an item of the menu", lambda: next(
        (menu_of(s) for s in focus_sources if menu_of(s)), None), 5)
    items = [menu.get_child_at_index(i) for i in range(menu.get_child_count())]
    check([item.get_index_in_parent() for item in items] == list(range(len(items))),
          f"{language}: every item of the menu is found at its place")
    read = {item.get_name(): (item.get_role_name(), "checked" in states(item)) for item in items}
    switches = texts["switches"]
    expected = {name: ("radio button", name == language) for name in LANGUAGES}
    expected.update({switches[SELECTED_ONLY]: ("check box", selected_only),
                     switches[SHOW_NEW_NAMES]: ("check box", True),
                     switches[REGULAR_EXPRESSION]: ("check box", False),
                     switches[LAST_SWITCH]: ("check box", False)})
    check({name: read.get(name) for name in expected} == expected,
          f"{language}: the checkable items read as checked or not ({read})")
    # From the first item up to the last one, the last switch.
    focused.clear()
    press(UP)
    pump(0.5)
    check(focused[-1:] == [("check box", switches[LAST_SWITCH])],
          f"{language}: a switch that is off is heard as a check box ({focused})")
    # Its action switches it as a click does.
    regular = items[[item.get_name() for item in items].index(switches[REGULAR_EXPRESSION])]
    Atspi.Action.do_action(regular, 0)
    check(wait_for("the switch on", lambda: "checked" in states(regular), 5),
          f"{language}: the item's action switches it on")
    Atspi.Action.do_action(regular, 0)
    pump(0.3)
    check("checked" not in states(regular), f"{language}: the item's action switches it off")
    press(ESCAPE)
    pump(0.5)
    return regular


def top_windows():
    """The display's top-level windows: their geometry (x, y, width, height) by id."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True,
                          check=True).stdout
    return {window: (int(x), int(y), int(width), int(height)) for window, width, height, x, y in
            re.findall(r"^\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", tree, re.M)}


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def check_rename_says_why(language, app, controls, rename, regular):
    """With a find text that is no valid expression, and the pointer resting on the find field
    until its tooltip (which tells why) shows, a click on Rename says why nothing is renamed: the
    tooltip lies over no button."""
    Atspi.Action.do_action(regular, 0)
    Atspi.EditableText.set_text_contents(controls[FIND], "^(IMG")
    pump(0.3)
    field = controls[FIND].get_extents(Atspi.CoordType.SCREEN)
    button = rename.get_extents(Atspi.CoordType.SCREEN)
    before = top_windows()
    Atspi.generate_mouse_event(field.x + 20, field.y + field.height // 2, "abs")
    tip = wait_for("the find field's tooltip", lambda: next(
        (window for window in top_windows() if window not in before), None), 5)
    pump(0.5)  # made where the toolkit would put it, placed as it shows
    tip = top_windows().get(tip, (0, 0, 0, 0))
    check(tip[2] > 0 and not overlap(tip, (button.x, button.y, button.width, button.height)),
          f"{language}: the find field's tooltip lies above the field ({tip}), not over Rename")
    Atspi.generate_mouse_event(button.x + 10, button.y + button.height // 2, "b1c")

    def message():
        for i in range(app.get_child_count()):
            try:
                window = app.get_child_at_index(i)
                if window is not None and window.get_role_name() == "alert":
                    return window
            except GLib.Error:  # a window that went meanwhile (the tooltip)
                pass
        return None
    try:
        said = wait_for("the message", message, 5)
    except TimeoutError:
        check(False, f"{language}: a click on Rename, the tooltip shown, says why nothing is "
                     "renamed")
        return
    told = " ".join(n.get_name() or "" for n in walk(said))
    check("The find text is not a valid regular expression" in told and
          "Nothing was renamed." in told, f"{language}: the message tells why ({told!r})")
    ok = next(n for n in walk(said) if n.get_role_name() == "push button")
    Atspi.Action.do_action(ok, 0)
    wait_for("the message closed", lambda: message() is None, 5)
    Atspi.Action.do_action(regular, 0)


def store(folder, language, selected_only):
    """The settings the program starts with: language, mode and the preview on."""
    path = os.path.join(folder, "config", "nomilo", "registry.reg")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="ascii") as out:
        out.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n"
                  f'"Jezik"="{language}"\n"RenameSel"="{int(selected_only)}"\n'
                  '"ShowNewNames"="1"\n"Left"="10"\n"Top"="10"\n\n')


def start(program, language, selected_only):
    sandbox = tempfile.mkdtemp(prefix="nomilo-bus-")
    for sub in ("home", "config", "data", "state", "files"):
        os.makedirs(os.path.join(sandbox, sub), exist_ok=True)
    for name in ("IMG_1.jpg", "IMG_2.jpg", "Trip_2.jpg"):
        open(os.path.join(sandbox, "files", name), "w").close()
    store(sandbox, language, selected_only)
    environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       HOME=os.path.join(sandbox, "home"),
                       XDG_CONFIG_HOME=os.path.join(sandbox, "config"),
                       XDG_DATA_HOME=os.path.join(sandbox, "data"),
                       XDG_STATE_HOME=os.path.join(sandbox, "state"))
    process = subprocess.Popen([program, os.path.join(sandbox, "files")], env=environment)
    process.sandbox = sandbox  # goes at the end
    return process


def end(process, what):
    """Ends the program with SIGTERM, which must end it cleanly."""
    process.terminate()
    try:
        check(process.wait(30) == 0, f"{what}: the program ends cleanly on SIGTERM")
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        failures.append(f"{what}: the program did not end on SIGTERM")
    if hasattr(process, "sandbox"):
        shutil.rmtree(process.sandbox, ignore_errors=True)


def outcome(what):
    """The test's exit status, said with the count of failed checks."""
    if failures:
        print(f"{len(failures)} checks failed")
        return 1
    print(f"{what}: every check passed")
    return 0


def application(process):
    def find():
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == process.pid and app.get_child_count():
                return app
        return None
    return wait_for("the program on the bus", find)


def one_language(program, language, selected_only, heard, focused, focus_sources):
    texts = LANGUAGES[language]
    process = start(program, language, selected_only)
    try:
        app = application(process)
        frame = app.get_child_at_index(0)
        check(frame.get_role_name() == "frame", f"{language}: the window is a frame")
        check(frame.get_name() == texts["caption"], f"{language}: the frame is named by the caption")
        controls = {}
        wait_for("the file list", lambda: any(n.get_name() == texts["names"][FILES]
                                              for n in walk(frame)))
        for node in walk(frame):
            if node.get_name() in texts["names"]:
                controls[texts["names"].index(node.get_name())] = node
        for index, name in enumerate(texts["names"]):
            node = controls.get(index)
            check(node is not None and node.get_role_name() == ROLES[index],
                  f"{language}: a {ROLES[index]} named {name!r}")

        files = controls[FILES]
        check("multiselectable" in states(files), f"{language}: the file list is multi-selectable")
        rename = next(n for n in walk(frame) if n.get_name() == texts["rename"])

        def check_taken(count, what):
            """The list and the Rename button say which files Rename takes, and how many."""
            told = (texts["selected" if selected_only else "every"] + ": " +
                    texts["count"].format(count, 3))
            check(wait_for("the count", lambda: files.get_description() == told, 5) and
                  rename.get_description() == told,
                  f"{language}: the list and Rename say {what} ({files.get_description()!r}, "
                  f"{rename.get_description()!r})")
        check_taken(0 if selected_only else 3, "which files Rename takes and how many")
        entries = wait_for("three entries", lambda: files.get_child_count() == 3 and
                           [files.get_child_at_index(i) for i in range(3)])
        check([e.get_name() for e in entries] == ["IMG_1.jpg", "IMG_2.jpg", "Trip_2.jpg"],
              f"{language}: the entries are named by the files")
        check([e.get_role_name() for e in entries] == ["list item"] * 3,
              f"{language}: the entries are list items")

        check_focus_reading(language, texts, frame, focused, selected_only)
        regular = check_menu_reading(language, texts, focused, focus_sources, selected_only)

        if selected_only:
            check(not any("selected" in states(e) for e in entries),
                  f"{language}: nothing is selected at first")
            heard.clear()
            Atspi.Table.add_row_selection(files, 0)
            Atspi.Table.add_row_selection(files, 1)
            wait_for("the selection", lambda: "selected" in states(entries[1]), 5)
            pump(0.3)
            check(sorted(heard) == [("selected", "IMG_1.jpg"), ("selected", "IMG_2.jpg")],
                  f"{language}: the selection is announced ({heard})")
            check([("selected" in states(e)) for e in entries] == [True, True, False],
                  f"{language}: the entries selected through the bus are selected")
            check(Atspi.Table.get_n_selected_rows(files) == 2, f"{language}: two selected rows")
            check_taken(2, "that Rename takes the two selected files")
        else:
            check(all("selected" in states(e) for e in entries),
                  f"{language}: every entry is drawn selected, so every entry is selected")

        # The preview, as the user types.
        heard.clear()
        Atspi.EditableText.set_text_contents(controls[FIND], "IMG")
        Atspi.EditableText.set_text_contents(controls[REPLACE], "Trip")
        wait_for("the new name", lambda: entries[0].get_name() == "Trip_1.jpg", 5)
        check(entries[0].get_description() == "IMG_1.jpg -> Trip_1.jpg",
              f"{language}: the renamed entry tells its old and new name")
        check(entries[1].get_name() == "IMG_2.jpg" and
              entries[1].get_description() == "IMG_2.jpg -> Trip_2.jpg: " + texts["taken"],
              f"{language}: the refused entry keeps its name and tells why")
        pump(0.5)
        # Each text typed recomputes the preview once at most, and each recompute announces
        # the entries whose names changed once.
        check(1 <= heard.count(("name", "Trip_1.jpg")) <= 2,
              f"{language}: the new name is announced, once per recompute ({heard})")
        if language == "English":
            check_rename_says_why(language, app, controls, rename, regular)
    finally:
        end(process, language)


def main():
    program = sys.argv[1]
    heard = []

    focused = []
    focus_sources = []

    def on_event(event):
        if event.type.startswith("object:state-changed:focused"):
            if event.detail1:
                focused.append((event.source.get_role_name(), event.source.get_name()))
                focus_sources.append(event.source)
        elif event.type.startswith("object:property-change:accessible-name"):
            heard.append(("name", event.source.get_name()))
        elif event.type.startswith("object:state-changed:selected") and event.detail1:
            heard.append(("selected", event.source.get_name()))

    listener = Atspi.EventListener.new(on_event)
    listener.register("object:property-change:accessible-name")
    listener.register("object:state-changed:selected")
    listener.register("object:state-changed:focused")
    one_language(program, "Hrvatski", False, heard, focused, focus_sources)
    one_language(program, "English", True, heard, focused, focus_sources)
    one_language(program, "Deutsch", True, heard, focused, focus_sources)
    return outcome("the window through the accessibility bus")


if __name__ == "__main__":
    sys.exit(main())
