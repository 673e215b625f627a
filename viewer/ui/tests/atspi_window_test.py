#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The real window as the desktop's accessibility tools see it (AT-SPI in an X server).

In each shipped language: the read button, the tabs, the card-information text and every
history line are found by role; pressing the button through AT-SPI reads the card, and what
the tools then read is what `lorvane --read --json` prints for the same card, line for line;
every name the tools read is in the language (no Japanese in English; neither half-width
katakana nor "DLL" in either); the exit button closes the program.

Usage: atspi_window_test.py <program folder>. Exits 77 (skipped) without Xvfb, a D-Bus
session, the AT-SPI bus or pyatspi (Debian: xvfb, dbus-daemon, at-spi2-core, python3-pyatspi).
"""
import importlib.util
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
IN_SESSION = "LORVANE_ATSPI_TEST_SESSION"
LANGUAGES = ["English", "日本語"]
SAMPLE = "samples/sample-transit.json"


def skip_without_tools():
    missing = [t for t in ("Xvfb", "dbus-run-session") if shutil.which(t) is None]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("pyatspi")
    if missing:
        print("not installed:", ", ".join(missing))
        sys.exit(SKIPPED)


def wait_for(what, probe, seconds=20.0):
    """Calls probe until it gives something other than None; fails after the time."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found is not None:
            return found
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def start_x_server(work):
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as out:
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=[out.fileno()], stderr=subprocess.DEVNULL)

    def display():
        with open(display_file) as f:
            number = f.read().strip()
        return f":{number}" if number else None

    os.environ["DISPLAY"] = wait_for("the X server", display)
    return server


def children(accessible):
    for i in range(accessible.childCount):
        child = accessible.getChildAtIndex(i)
        if child is not None:
            yield child


def descendants(accessible, role):
    found = []
    for child in children(accessible):
        if child.getRoleName() == role:
            found.append(child)
        found.extend(descendants(child, role))
    return found


def all_names(accessible):
    names = [accessible.name or ""]
    for child in children(accessible):
        names.extend(all_names(child))
    return names


def japanese(text):
    return any("\u3000" <= c <= "\u30ff" or "\u4e00" <= c <= "\u9fff" or "\uff00" <= c <= "\uffef"
               for c in text)


def check_names(window, language):
    for name in all_names(window):
        assert "DLL" not in name, f"{language}: {name!r}"
        assert not any("\uff61" <= c <= "\uff9f" for c in name), f"{language}: {name!r}"
        assert language != "English" or not japanese(name), f"{language}: {name!r}"


def find_window(pyatspi, pid):
    for app in children(pyatspi.Registry.getDesktop(0)):
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:  # an application that went away while we looked
            continue
        dialogs = [c for c in children(app) if c.getRoleName() == "dialog"]
        if dialogs:
            return dialogs[0]
    return None


def buttons(pyatspi, window):
    """The read button (the default one) and the exit button, both direct children."""
    pushes = [c for c in children(window) if c.getRoleName() == "push button"]
    read = [b for b in pushes if b.getState().contains(pyatspi.STATE_IS_DEFAULT)]
    other = [b for b in pushes if b not in read]
    assert len(read) == 1 and len(other) == 1, [b.name for b in pushes]
    return read[0], other[0]


def expected_card(program, language):
    printed = subprocess.run([program, "--read", "--json", "--language", language, "--card", SAMPLE],
                             cwd=os.path.dirname(program), capture_output=True, text=True, check=True)
    assert "there is no language" not in printed.stderr, printed.stderr
    cards = json.loads(printed.stdout)["cards"]
    assert len(cards) == 1, cards
    return cards[0]


def check_window_reads(pyatspi, program, language):
    card = expected_card(program, language)
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="C.UTF-8")
    log = os.path.join(os.path.dirname(program), "viewer.log")
    with open(log, "w") as err:
        viewer = subprocess.Popen([program, "--language", language, "--card", SAMPLE],
                                  cwd=os.path.dirname(program), env=env, stderr=err)
    try:
        window = wait_for("the window on the accessibility bus", lambda: find_window(pyatspi, viewer.pid))
        read, leave = buttons(pyatspi, window)
        history = descendants(window, "list")
        assert len(history) == 1 and history[0].childCount == 0, "history before a read"
        read.queryAction().doAction(0)

        def tab_names():
            names = [t.name for t in descendants(window, "page tab")]
            return names if names == [card["name"]] else None

        wait_for(f"the tab {card['name']!r}", tab_names)
        lines = [item.name for item in children(history[0])]
        assert lines == card["history"], f"history {lines}\nprinted {card['history']}"
        labels = [label.name for label in descendants(window, "label")]
        info = "\n".join(card["info"])
        assert any(text.rstrip("\n") == info for text in labels), f"no {info!r} in {labels}"
        assert card["title"] in labels, f"no {card['title']!r} in {labels}"
        check_names(window, language)

        leave.queryAction().doAction(0)
        assert viewer.wait(timeout=15) == 0, "the program did not end well"
    except Exception:
        with open(log) as err:
            print(f"lorvane's standard error:\n{err.read()}")
        raise
    finally:
        if viewer.poll() is None:
            viewer.kill()
            viewer.wait()
    print(f"{language}: {len(card['history'])} history lines read through AT-SPI")


def main():
    skip_without_tools()
    if os.environ.get(IN_SESSION) != "1":
        os.environ[IN_SESSION] = "1"
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])

    work = tempfile.mkdtemp()
    server = start_x_server(work)
    try:
        folder = os.path.join(work, "program")
        shutil.copytree(os.path.abspath(sys.argv[1]), folder, symlinks=True)
        with open(os.path.join(folder, "FeliCaDLL.INI"), "w") as registry:
            registry.write(f"[KXDLLSettings]\nDLLDirectory={folder}/\n")
        os.environ["HOME"] = work
        # The accessibility bus starts on the session bus's demand (at-spi2-core's D-Bus
        # service), for this script and the program alike, once the X server is up.
        import pyatspi

        for language in LANGUAGES:
            check_window_reads(pyatspi, os.path.join(folder, "lorvane"), language)
    finally:
        server.terminate()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
