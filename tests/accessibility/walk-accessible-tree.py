"""Reads the window's accessible tree as a screen reader does, over AT-SPI.

walk-accessible-tree.py PID check         every shown control that can be used has a name and a fitting role;
                                          prints one line per fault and exits 1 when there is one
walk-accessible-tree.py PID row NAME      the shown list row NAME and its buttons, as JSON
walk-accessible-tree.py PID press NAME BUTTON
                                          presses the button BUTTON of the shown row NAME through its action
walk-accessible-tree.py PID dump          the whole tree with roles, names, descriptions, states and actions
walk-accessible-tree.py PID frame NAME    waits until process PID shows a window named NAME; exits 1 when the
                                          process ends first or no such window is shown within 90 s
"""

import json
import os
import sys
import time

import pyatspi

# Roles a person acts on; each needs a name a screen reader can say.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_LINK,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TREE_ITEM,
    pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_FRAME,
}
# Roles that say nothing of what can be done with them: a control offering actions must not have one.
MUTE = {pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL, pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_LABEL, pyatspi.ROLE_REDUNDANT_OBJECT}
# What a button in a list row is and what its row is.
ROWS = {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TREE_ITEM}


def application(pid):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.1)
    sys.exit(f"no application with process {pid} reached the accessibility registry")


def shown(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def walk(node, path=()):
    """Every shown node below node, with the names of its ancestors."""
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is None or not shown(child):
            continue
        here = path + (f"{child.getRoleName()} '{child.name}'",)
        yield child, here
        # A web page's content is the store's, not the window's.
        if child.getRole() != pyatspi.ROLE_DOCUMENT_WEB:
            yield from walk(child, here)


def check(app):
    faults = []
    for node, path in walk(app):
        role = node.getRole()
        offered = [name for name in actions(node) if name != "SetFocus"]
        if (role in INTERACTIVE or offered) and not node.name.strip():
            faults.append("unnamed: " + " / ".join(path))
        if offered and role in MUTE:
            faults.append(f"role '{node.getRoleName()}' for a control offering {offered}: " + " / ".join(path))
        if role == pyatspi.ROLE_PUSH_BUTTON and node.parent.getRole() in ROWS and "Press" not in offered \
                and node.getState().contains(pyatspi.STATE_ENABLED):
            faults.append("a row's button that cannot be pressed: " + " / ".join(path))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def find_row(app, name):
    for node, _ in walk(app):
        if node.getRole() in ROWS and node.name == name:
            return node
    sys.exit(f"no shown row named '{name}'")


def describe(node):
    states = node.getState()
    return {
        "name": node.name,
        "role": node.getRoleName(),
        "description": node.description,
        "enabled": states.contains(pyatspi.STATE_ENABLED),
        "focused": states.contains(pyatspi.STATE_FOCUSED),
        "actions": actions(node),
    }


def row(app, name):
    found = find_row(app, name)
    answer = describe(found)
    answer["buttons"] = [describe(found.getChildAtIndex(i)) for i in range(found.childCount)]
    print(json.dumps(answer))
    return 0


def press(app, name, button):
    found = find_row(app, name)
    for index in range(found.childCount):
        child = found.getChildAtIndex(index)
        if child.name == button:
            action = child.queryAction()
            for at in range(action.nActions):
                if action.getName(at) == "Press":
                    return 0 if action.doAction(at) else 1
            sys.exit(f"'{button}' of '{name}' offers no Press action: {actions(child)}")
    sys.exit(f"'{name}' has no button '{button}'")


def dump(node, depth=0):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is None:
            continue
        states = child.getState()
        marks = "".join(mark for state, mark in ((pyatspi.STATE_SHOWING, "S"), (pyatspi.STATE_VISIBLE, "V"),
                                                 (pyatspi.STATE_FOCUSED, "F"), (pyatspi.STATE_ENABLED, "E"))
                        if states.contains(state))
        print("  " * depth + f"{child.getRoleName()} '{child.name}' [{marks}] '{child.description}' {actions(child)}")
        if child.getRole() != pyatspi.ROLE_DOCUMENT_WEB:
            dump(child, depth + 1)
    return 0


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    return True


def frame(pid, name):
    """Asks nothing of the window but what a screen reader sees first: its shown top-level frame."""
    deadline = time.monotonic() + 90
    while time.monotonic() < deadline:
        if not alive(pid):
            sys.exit("the window's process ended before it showed a window")
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is None or app.get_process_id() != pid:
                continue
            for child_index in range(app.childCount):
                child = app.getChildAtIndex(child_index)
                if child is not None and child.getRole() == pyatspi.ROLE_FRAME and child.name == name and shown(child):
                    print(f"frame '{name}' shown")
                    return 0
        time.sleep(0.2)
    sys.exit(f"no window named '{name}' was shown within 90 s")


def main(arguments):
    if arguments[1] == "frame":
        return frame(int(arguments[0]), arguments[2])
    app = application(int(arguments[0]))
    command = arguments[1]
    if command == "check":
        return check(app)
    if command == "row":
        return row(app, arguments[2])
    if command == "dump":
        return dump(app)
    if command == "press":
        return press(app, arguments[2], arguments[3])
    sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
