"""An assistive-technology client for perf/window-vs-cli.sh: listens for accessible value changes
on the AT-SPI bus, as a screen reader does, so that the applications' bridges send them.

Qt's bridge sends an event only while some client has registered for it with the registry, so
without a listener a run "with a screen reader on" measures nothing of the kind. Prints
"listening" once registered; for each application that sends, one line when it is first heard,
with the registry's listing of the desktop and of the application's top-level objects (proof
that the bridge is active and the window is on the bus); on SIGTERM or SIGINT, one line per
application: "heard PID COUNT".

Needs Debian's python3-pyatspi (and so gir1.2-atspi-2.0) for Debian's own python3.
"""

import signal
import sys

import pyatspi
from gi.repository import GLib

EVENTS = "object:property-change:accessible-value"

heard = {}  # the application's accessible object -> [pid, count]


def shown(text):
    # Names come from other programs: keep them on one line and printable.
    return "".join(c if c.isprintable() else "?" for c in str(text))[:200]


def on_event(event):
    app = event.host_application
    if app is None:
        return
    entry = heard.get(app)
    if entry is None:
        try:
            pid = app.get_process_id()
            top = [f"{c.getRoleName()}:{shown(c.name)}" for c in app if c is not None]
            desktop = [shown(a.name) for a in pyatspi.Registry.getDesktop(0) if a is not None]
        except Exception as error:  # the application may be gone already
            print(f"first heard {shown(app.name)}: not listed ({shown(error)})", flush=True)
            pid, top, desktop = -1, [], []
        else:
            print(f"first heard {shown(app.name)} pid {pid}: desktop {desktop}, top {top}",
                  flush=True)
        entry = heard[app] = [pid, 0]
    entry[1] += 1


def stop():
    for pid, count in heard.values():
        print(f"heard {pid} {count}", flush=True)
    pyatspi.Registry.stop()
    return False


def main():
    pyatspi.Registry.registerEventListener(on_event, EVENTS)
    for signum in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, stop)
    print("listening", flush=True)
    pyatspi.Registry.start()


if __name__ == "__main__":
    sys.exit(main())
