"""Drives the built Wendlow program from outside, through the accessibility bus and the X server.

Runs inside the private X server and session bus that run_acceptance.sh sets up. Everything
waits by polling for a visible condition with a deadline; nothing sleeps for a fixed time.
Properties are read one at a time: the toolkit's bridge crashes on
org.freedesktop.DBus.Properties.GetAll, so nothing here may ask for all of them at once.
"""

import collections
import datetime
import os
import shutil
import subprocess
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

DEFAULT_TIMEOUT = 15.0
POLL_INTERVAL = 0.02


class Failure(Exception):
    """A scenario's expectation did not hold."""


def wait_for(what, probe, timeout=DEFAULT_TIMEOUT):
    """Polls probe() until it returns something truthy and returns that.

    Objects of the program may vanish or be half-built while we look at them, so errors
    raised by a probe count as "not yet"; the last one is reported if the deadline passes.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        _pump_events()
        try:
            result = probe()
            if result:
                return result
            last_error = None
        except (GLib.Error, LookupError, ValueError) as error:
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(POLL_INTERVAL)


def stays_absent(what, probe, duration):
    """Watches for duration seconds that probe() never returns something truthy.

    For things that must NOT happen: there is no event that says "it will not come", so
    the watch keeps looking for the whole time and fails at the first sight of it.
    """
    deadline = time.monotonic() + duration
    while True:
        _pump_events()
        try:
            seen = probe()
        except (GLib.Error, LookupError, ValueError):
            seen = None
        if seen:
            raise Failure(f"{what} appeared")
        if time.monotonic() >= deadline:
            return
        time.sleep(POLL_INTERVAL)


# --- accessibility bus ------------------------------------------------------------------------

_a11y_connection = None
_popup_listener = None
_shown_popups = []


def connect_accessibility_bus():
    """Asks the session bus for the accessibility bus once, before any program starts.

    This brings up the bus launcher and registry first, so the program's bridge finds a
    ready bus instead of racing its activation.
    """
    global _a11y_connection
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                              None, GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE,
                              10000, None)
    address = reply.unpack()[0]
    _a11y_connection = Gio.DBusConnection.new_for_address_sync(
        address,
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None, None)
    # libatspi (the library under pyatspi) joins the accessibility bus only now.
    Atspi.init()

    # Pop-up menus are not children of the application in the toolkit's tree; they can only be
    # found through the event their showing sends. The listener goes up before the program
    # starts, so the program knows from its first moment that someone listens.
    global _popup_listener
    _popup_listener = Atspi.EventListener.new(_on_showing)
    _popup_listener.register("object:state-changed:showing")
    return address


def _on_showing(event):
    try:
        if event.detail1 == 1 and event.source.get_role() == Atspi.Role.POPUP_MENU:
            _shown_popups.append(event.source)
    except GLib.Error:
        pass  # gone again before we looked


def _pump_events():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def shown_popup_menus():
    """The pop-up menus on screen now, the latest first."""
    _pump_events()
    showing = []
    for menu in reversed(_shown_popups):
        try:
            if is_showing(menu) and menu not in showing:
                showing.append(menu)
        except GLib.Error:
            pass
    _shown_popups[:] = list(reversed(showing))
    return showing


def _live(app):
    # Values of a widget change without us listening for events, so never trust a cache.
    app.set_cache_mask(Atspi.Cache.NONE)
    return app


def children(acc):
    count = acc.get_child_count()
    result = []
    for i in range(count):
        child = acc.get_child_at_index(i)
        if child is not None:
            result.append(child)
    return result


def descendants(acc, max_depth=12):
    """acc and everything below it, level by level.

    Breadth first, so that a search stops at a window's own controls before it walks through
    the many cells of a calendar; every step is a round trip to the program.
    """
    queue = collections.deque([(acc, 0)])
    while queue:
        node, depth = queue.popleft()
        yield node
        if depth < max_depth:
            queue.extend((c, depth + 1) for c in children(node))


def is_showing(acc):
    return acc.get_state_set().contains(Atspi.StateType.SHOWING)


def name_of(acc):
    return acc.get_name() or ""


def extents(acc):
    """Screen rectangle (x, y, width, height) of an object."""
    rect = acc.get_extents(Atspi.CoordType.SCREEN)
    return rect.x, rect.y, rect.width, rect.height


def text_of(acc):
    iface = acc.get_text_iface()
    if iface is None:
        raise ValueError(f"{describe(acc)} has no text")
    return acc.get_text(0, -1) or ""


def edit_field(combo):
    """The edit line of an editable combo box (the toolkit gives it no name of its own)."""
    for child in children(combo):
        if child.get_editable_text_iface() is not None:
            return child
    raise Failure(f"{describe(combo)} has no edit line")


def read_bytes(path):
    """The bytes of a file, or b"" while it does not exist yet."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def describe(acc):
    try:
        return f"{acc.get_role_name()} '{name_of(acc)}' [{acc.get_description() or ''}]"
    except GLib.Error:
        return "<gone>"


# --- the program ------------------------------------------------------------------------------

class Program:
    """One run of the built program in a fresh program directory of its own."""

    def __init__(self, built_program, scenario_dir):
        self.dir = scenario_dir
        if os.path.exists(self.dir):
            shutil.rmtree(self.dir)
        os.makedirs(self.dir)
        # The program keeps its data beside its executable.
        self.executable = os.path.join(self.dir, os.path.basename(built_program))
        shutil.copy2(built_program, self.executable)
        self.log_path = os.path.join(self.dir, "program.log")
        self.process = None
        self._app = None

    def start(self):
        """Starts the program; again after it ended, it starts in the same directory."""
        if self.process is not None and self.process.poll() is None:
            raise Failure("the program is still running; it cannot be started twice")
        self._app = None  # a new process is a new application on the bus
        env = dict(os.environ)
        env["TZ"] = _timezone_away_from_hour_six()
        # Appending keeps what earlier runs in this directory said.
        with open(self.log_path, "ab") as log:
            self.process = subprocess.Popen([self.executable], cwd=self.dir, env=env,
                                            stdout=log, stderr=subprocess.STDOUT,
                                            stdin=subprocess.DEVNULL)
        return self

    def kill(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def log_tail(self, lines=30):
        try:
            with open(self.log_path, "rb") as log:
                text = log.read().decode("utf-8", "replace")
        except OSError:
            return ""
        return "\n".join(text.splitlines()[-lines:])

    def ensure_running(self):
        status = self.process.poll()
        if status is not None:
            raise Failure(f"the program ended unexpectedly with status {status}\n"
                          f"{self.log_tail()}")

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    # Finding things

    def app(self):
        if self._app is not None:
            return self._app

        def probe():
            self.ensure_running()
            desktop = Atspi.get_desktop(0)
            for app in children(desktop):
                if app.get_process_id() == self.process.pid:
                    return app
            return None

        self._app = _live(wait_for("the program on the accessibility bus", probe))
        return self._app

    def windows(self, title):
        self.ensure_running()
        return [w for w in children(self.app()) if name_of(w) == title and is_showing(w)]

    def window(self, title, timeout=DEFAULT_TIMEOUT):
        return wait_for(f"the window '{title}'", lambda: next(iter(self.windows(title)), None),
                        timeout)

    def window_starting_with(self, prefix, timeout=DEFAULT_TIMEOUT):
        def probe():
            self.ensure_running()
            for w in children(self.app()):
                if name_of(w).startswith(prefix) and is_showing(w):
                    return w
            return None

        return wait_for(f"a window titled '{prefix}...'", probe, timeout)

    def control(self, window, description, timeout=DEFAULT_TIMEOUT):
        """A control found by its accessible description (the widget's object name)."""
        def probe():
            self.ensure_running()
            for node in descendants(window):
                if node.get_description() == description:
                    return node
            return None

        return wait_for(f"the control '{description}' in '{name_of(window)}'", probe, timeout)

    def button(self, window, name, timeout=DEFAULT_TIMEOUT):
        def probe():
            self.ensure_running()
            for node in descendants(window):
                if name_of(node) == name and node.get_action_iface() is not None:
                    return node
            return None

        return wait_for(f"the button '{name}' in '{name_of(window)}'", probe, timeout)

    # Acting

    def press(self, acc, action="Press"):
        """Does an action of a control (a button's "Press") without waiting for the answer.

        The toolkit replies to an action only after the button's handler returns, and a
        handler that shows a modal message box would hold the reply back. So the call goes out
        with NO_REPLY_EXPECTED and the caller waits for the visible effect instead.
        """
        index = _action_index(acc, action)
        message = Gio.DBusMessage.new_method_call(acc.app.bus_name, acc.path,
                                                  "org.a11y.atspi.Action", "DoAction")
        message.set_body(GLib.Variant("(i)", (index,)))
        message.set_flags(Gio.DBusMessageFlags.NO_REPLY_EXPECTED)
        _a11y_connection.send_message(message, Gio.DBusSendMessageFlags.NONE)
        _a11y_connection.flush_sync(None)

    def set_text(self, acc, text):
        if acc.get_editable_text_iface() is None:
            raise Failure(f"{describe(acc)} is not editable")
        if not acc.set_text_contents(text):
            raise Failure(f"could not set the text of {describe(acc)}")
        if acc.get_role() == Atspi.Role.PASSWORD_TEXT:
            # A password box gives away nothing of its text but how many characters it holds.
            wait_for(f"{len(text)} characters in {describe(acc)}",
                     lambda: acc.get_character_count() == len(text))
        else:
            wait_for(f"'{text}' in {describe(acc)}", lambda: text_of(acc) == text)

    def answer_message(self, expected_text, button="确定"):
        """Waits for the message box with the expected text and answers it."""
        def probe():
            for box in self.windows("信息："):
                texts = [name_of(n) for n in descendants(box)]
                if expected_text in texts:
                    return box
            return None

        try:
            box = wait_for(f"the message '{expected_text}'", probe)
        except Failure:
            shown = [[name_of(n) for n in descendants(b) if name_of(n)]
                     for b in self.windows("信息：")]
            raise Failure(f"the message '{expected_text}' did not appear; "
                          f"message boxes shown: {shown}") from None
        self.press(self.button(box, button))
        wait_for(f"the message '{expected_text}' to close", lambda: probe() is None)

    def menu_item(self, name):
        """The item of that name in a pop-up menu of the program on screen now, or None."""
        found = self._menu_item(name)
        return found[0] if found else None

    def _menu_item(self, name):
        self.ensure_running()
        for menu in shown_popup_menus():
            try:
                if menu.get_process_id() != self.process.pid:
                    continue
                for item in children(menu):
                    if (item.get_role() == Atspi.Role.MENU_ITEM and name_of(item) == name
                            and is_showing(item)):
                        return item, menu
            except GLib.Error:
                continue
        return None

    def choose_menu_item(self, name):
        """Waits for a pop-up menu offering the item, clicks it and waits for the menu to go."""
        item, menu = wait_for(f"a pop-up menu with '{name}'", lambda: self._menu_item(name))
        click(item, menu)
        wait_for(f"the pop-up menu with '{name}' to close", lambda: self.menu_item(name) is None)

    def close_window(self, title):
        """Asks a window to close as a window manager's close box would."""
        _send_delete_window(title)


def _action_index(acc, action_name):
    iface = acc.get_action_iface()
    if iface is None:
        raise Failure(f"{describe(acc)} has no actions")
    names = [acc.get_action_name(i) for i in range(acc.get_n_actions())]
    if action_name not in names:
        raise Failure(f"{describe(acc)} has no action '{action_name}' (has {names})")
    return names.index(action_name)


def _timezone_away_from_hour_six():
    """A fixed-offset time zone in which it is now two in the afternoon.

    The past-entries greeting, which carries the entry count, is not written at all between
    six and seven o'clock; pinning the program's clock hour keeps the scenarios independent of
    the time of day they run at.
    """
    utc_hour = datetime.datetime.now(datetime.timezone.utc).hour
    behind_utc = utc_hour - 14  # POSIX TZ offsets count hours to add to local time for UTC
    return f"WLT{behind_utc:+d}"


# --- mouse and windows through the X server ---------------------------------------------------

_x_display = None


def _x():
    global _x_display
    if _x_display is None:
        from Xlib import display
        _x_display = display.Display()
    return _x_display


def _mapped_toplevels():
    """Mapped top-level X windows, topmost first, as (window, (x, y, width, height)).

    Without a window manager the top-level windows are the root's children and their
    geometry is their place on the screen.
    """
    from Xlib import X

    result = []
    for win in reversed(_x().screen().root.query_tree().children):
        try:
            if win.get_attributes().map_state != X.IsViewable:
                continue
            geometry = win.get_geometry()
        except Exception:  # destroyed between the listing and the look
            continue
        result.append((win, (geometry.x, geometry.y, geometry.width, geometry.height)))
    return result


def _toplevel_at(x, y):
    for _, (wx, wy, ww, wh) in _mapped_toplevels():
        if wx <= x < wx + ww and wy <= y < wy + wh:
            return wx, wy, ww, wh
    return None


def _xdotool(*args):
    subprocess.run(["xdotool", *[str(a) for a in args]], check=True, timeout=10)


def click(acc, top, button=1):
    """Clicks the middle of an object, as a person would.

    top is the window or pop-up menu that holds the object. The toolkit reports a window as
    shown before the X server has mapped it, a window may still be moving to its place, and
    a closed pop-up may still cover the spot for a moment; so both places are read afresh
    until the X server has exactly that window, where the toolkit says it is, topmost at the
    object's middle, or the click would land on whatever lay there before.
    """
    seen = {}

    def target():
        x, y, width, height = extents(acc)
        if width <= 0 or height <= 0:
            raise ValueError(f"{describe(acc)} has no visible area to click")
        point = (x + width // 2, y + height // 2)
        seen.update(point=point, expected=extents(top), shown=_toplevel_at(*point))
        return point if seen["shown"] == seen["expected"] else None

    try:
        x, y = wait_for(f"{describe(top)} to be topmost under {describe(acc)}", target)
    except Failure:
        if not seen:
            raise
        raise Failure(f"cannot click {describe(acc)}: at {seen['point']} the X server shows "
                      f"{seen['shown']}, not {describe(top)} at {seen['expected']}") from None
    # One connection: the server moves the pointer before it sees the click. ("--sync" would
    # wait for a motion that never comes when the pointer already stands there.)
    _xdotool("mousemove", x, y, "click", button)


def _send_delete_window(title):
    from Xlib import X, protocol

    d = _x()
    wm_protocols = d.intern_atom("WM_PROTOCOLS")
    wm_delete = d.intern_atom("WM_DELETE_WINDOW")
    net_name = d.intern_atom("_NET_WM_NAME")
    utf8 = d.intern_atom("UTF8_STRING")
    target = None
    for win, _ in _mapped_toplevels():
        prop = win.get_full_property(net_name, utf8)
        if prop and prop.value.decode("utf-8", "replace") == title:
            target = win
            break
    if target is None:
        raise Failure(f"no mapped X window titled '{title}'")
    event = protocol.event.ClientMessage(window=target, client_type=wm_protocols,
                                         data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
    target.send_event(event, event_mask=X.NoEventMask)
    d.sync()
