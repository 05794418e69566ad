#!/usr/bin/python3
"""Drives a running quillon through the accessibility bus, by keyboard alone, as a screen-reader
user would, and prints what the assistive technology sees: the dialog's tree, a search, marks
set with Space, the menu buttons, the window menu's About box. Exits non-zero when a focusable
control has no name or a mark is not the checked state of its cell.

Run by scripts/atspi-walk.sh (Xvfb, a D-Bus session and the accessibility bus around it)."""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

TAB, SHIFT_TAB, DOWN, RIGHT, SPACE, MENU, ESCAPE, RETURN = 0xFF09, 0xFE20, 0xFF54, 0xFF53, 0x20, 0xFF67, 0xFF1B, 0xFF0D
problems = []
last_focus = [None]


def on_focus(event):
    if event.detail1 == 1:
        last_focus[0] = event.source


def pump(seconds):
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def key(keysym, pause=0.3):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    pump(pause)


def find(root, role=None, name=None):
    return pyatspi.findDescendant(
        root, lambda n: n is not None and (role is None or n.getRoleName() == role) and (name is None or n.name == name))


def has(node, state):
    return state in node.getState().getStates()


def describe(node):
    return f"{node.getRoleName()} {node.name!r}" if node is not None else "nothing"


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def dump(node, depth=0):
    marks = [name for state, name in ((pyatspi.STATE_FOCUSABLE, "focusable"), (pyatspi.STATE_CHECKED, "checked"),
                                      (pyatspi.STATE_ENABLED, "enabled")) if has(node, state)]
    extra = f" description={node.description!r}" if node.description else ""
    print(f"{'  ' * depth}[{node.getRoleName()}] {node.name!r} {marks} {actions(node)}{extra}")
    if has(node, pyatspi.STATE_FOCUSABLE) and not node.name.strip() and node.getRoleName() != "table cell":
        problems.append(f"focusable {node.getRoleName()} without a name")
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            dump(child, depth + 1)


def tab_to(predicate, limit=30):
    for _ in range(limit):
        if last_focus[0] is not None and predicate(last_focus[0]):
            return True
        key(TAB)
    return False


def main():
    screenshot = sys.argv[1] if len(sys.argv) > 1 else None
    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    app = None
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        app = next((desktop.getChildAtIndex(i) for i in range(desktop.childCount)
                    if desktop.getChildAtIndex(i) is not None and desktop.getChildAtIndex(i).name == "quillon"), None)
        if app is not None:
            break
        time.sleep(0.2)
    if app is None:
        sys.exit("quillon did not appear on the accessibility bus")
    dialog = find(app, "dialog", "Velvane Quillon")
    key(TAB)
    key(SHIFT_TAB)
    print("1. The window opens with the focus on", describe(last_focus[0]))
    dump(dialog)

    tab_to(lambda n: n.name == "Search for Duplicates")
    print("2. Tab reaches", describe(last_focus[0]), "- Space starts the search")
    key(SPACE)
    status = find(dialog, "status bar")
    for _ in range(100):
        panes = [status.getChildAtIndex(i).name for i in range(status.childCount) if status.getChildAtIndex(i)]
        if "Done" in panes:
            break
        pump(0.1)
    print("   status bar:", [p for p in panes if p])
    print("   after the search the focus is on", describe(last_focus[0]))

    table = find(dialog, "table", "Duplicates")
    tab_to(lambda n: n == table or n.parent == table)
    print("3. Tab reaches", describe(last_focus[0]), "- Space marks the current cell, arrows move")
    key(SPACE)
    key(DOWN)
    key(RIGHT)
    key(SPACE)
    cells = [table.getChildAtIndex(i) for i in range(table.childCount)]
    cells = [c for c in cells if c is not None and c.getRoleName() == "table cell"]
    for cell in cells:
        print(f"   cell {cell.name!r}: {'checked' if has(cell, pyatspi.STATE_CHECKED) else 'not checked'}")
    if len(cells) >= 5 and not (has(cells[0], pyatspi.STATE_CHECKED) and has(cells[4], pyatspi.STATE_CHECKED)):
        problems.append("the marks set with Space are not the checked state of their cells")
    # Esc (what closes a menu) and Enter on the list must not end the window and its marks.
    key(ESCAPE, 0.8)
    key(RETURN, 0.8)
    still_open = find(app, "dialog", "Velvane Quillon") is not None and has(cells[0], pyatspi.STATE_CHECKED)
    print("   Esc and Enter on the list keep the window and its marks:", still_open)
    if not still_open:
        problems.append("Esc or Enter on the results list ended the window")
    for name in ("Select", "Folders"):
        button = find(dialog, None, name)
        button = pyatspi.findDescendant(dialog, lambda n: n is not None and n.name == name and "push button" in n.getRoleName())
        print(f"4. menu button {name!r}: role {button.getRoleName()!r}, description {button.description!r}, actions {actions(button)}")
    delete = pyatspi.findDescendant(dialog, lambda n: n is not None and n.name == "Delete" and has(n, pyatspi.STATE_ENABLED)
                                    and n.getIndexInParent() > table.getIndexInParent())
    print("5. the marked files go to the Trash from", describe(delete), "(Tab to it, Space)")

    tab_to(lambda n: n.getRoleName() == "push button")
    print("6. On", describe(last_focus[0]), "the Menu key opens the window menu; A picks About")
    key(MENU, 0.8)
    key(ord("a"), 1.5)
    about = find(app, "dialog", "About Quillon")
    if about is None:
        problems.append("the window menu did not open the About box")
    else:
        dump(about)
        if screenshot:
            extents = about.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            subprocess.run(["import", "-window", "root", "-crop",
                            f"{extents.width}x{extents.height}+{extents.x}+{extents.y}", "+repage", screenshot],
                           check=True)
            print("   About box saved to", screenshot)
        key(ESCAPE, 0.8)
        print("   Esc closes it:", find(app, "dialog", "About Quillon") is None)

    for problem in problems:
        print("PROBLEM:", problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
