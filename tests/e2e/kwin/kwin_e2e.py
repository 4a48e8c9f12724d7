#!/usr/bin/python3
"""The program on a real headless KWin (Wayland, with XWayland): GTK clients on Wayland, X11
test clients through XWayland, each test in a KWin of its own. What a layout should do is found
by running the same command on a scene file made from the frames KWin reports to a probe
script of the test's own; frames are read back by polling, as Wayland clients take a new size
only once they have acknowledged it.

    kwin_e2e.py [unittest options]

TESSALOOM_BINARY names the program (the test client is found beside it).
"""
import json
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
BINARY = os.environ.get("TESSALOOM_BINARY", os.path.join(SOURCE, "build", "kwin", "tessaloom"))
X11_CLIENT = os.path.join(os.path.dirname(BINARY), "tessaloom-testclient")
GTK_CLIENT = os.path.join(SOURCE, "tests", "e2e", "gnome", "gtk-client.js")

# Applications as the clients play them: how KWin names their class, and the identifier and
# name the program gives them from their desktop entries.
CHROME = ("google-chrome", "google-chrome", "Google Chrome")
FIREFOX = ("firefox", "firefox", "Firefox")
CHAT = ("org.example.ChatApp", "org.example.ChatApp", "ChatGPT")
APPS = {cls.lower(): (ident, name) for cls, ident, name in (CHROME, FIREFOX, CHAT)}

# Under LeakSanitizer: the toolkit's lifelong allocations are not the program's leaks.
LEAK_OPTIONS = ":".join(filter(None, [
    os.environ.get("LSAN_OPTIONS"),
    "suppressions=%s:print_suppressions=0" % os.path.join(SOURCE, "tests", "lsan.supp")]))

LAYOUTS = [("grid", "自動タイルで整列"), ("columns", "横一列に並べる"),
           ("aiSplit", "ブラウザ左＋AI右に分ける"), ("cascade", "同じサイズで重ねる"),
           ("sameSize", "サイズだけ揃える（位置はそのまま）")]

# Reports every window and the cursor to the test, then ends.
PROBE = """
var ws = workspace.windowList ? workspace.windowList() : workspace.clientList();
var c = workspace.cursorPos;
callDBus("%s", "/probe", "org.tessaloom.Probe", "Report", JSON.stringify({
  cursor: [c.x, c.y],
  outputs: workspace.screens ? workspace.screens.map(function (o) { return o.name; }) : [],
  windows: ws.map(function (w) {
    var g = w.frameGeometry;
    return {title: w.caption, cls: w.resourceClass, app: w.desktopFileName, pid: w.pid,
            frame: [g.x, g.y, g.width, g.height], normal: w.normalWindow, active: w.active,
            special: w.specialWindow};
  })}));
"""
# Sends the window titled "Elsewhere" to a second virtual desktop (KWin 6, then KWin 5).
TO_SECOND_DESKTOP = """
var ws = workspace.windowList ? workspace.windowList() : workspace.clientList();
ws.forEach(function (w) {
  if (w.caption !== "Elsewhere") return;
  if (workspace.windowList) { workspace.createDesktop(1, "Two"); w.desktops = [workspace.desktops[1]]; }
  else { workspace.desktops = 2; w.desktop = 2; }
});
callDBus("%s", "/probe", "org.tessaloom.Probe", "Report", "{}");
"""
PROBE_XML = """<node><interface name="org.tessaloom.Probe">
  <method name="Report"><arg type="s" direction="in"/></method></interface></node>"""


def wait_until(check, seconds, step=0.02):
    """Polls `check` until it gives something true or `seconds` pass; its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = check()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def read_line(stream, deadline):
    """One line of `stream` (a pipe) before the deadline; None when it ends or time is up."""
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([stream], [], [], left)[0]:
            return None
        byte = os.read(stream.fileno(), 1)
        if not byte:
            return None
        line += byte
    return line.decode().rstrip("\n")


def near(a, b, tolerance=2):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class KWinSession:
    """A private KWin, its bus and its displays; the folder `work` holds everything of it."""

    def __init__(self, work, outputs=1):
        self.work = work
        self.process = subprocess.Popen(
            [os.path.join(HERE, "kwin-session.sh"), work, "1920x1080", str(outputs)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.env = {}
        deadline = time.monotonic() + 30
        while True:
            line = read_line(self.process.stdout, deadline)
            if line is None or line.startswith("failed"):
                self.stop()
                raise RuntimeError("KWin did not start: %s" % line)
            if line == "ready":
                break
            key, _, value = line.partition("=")
            self.env[key] = value
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.env["DBUS_SESSION_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        self.reports = []
        node = Gio.DBusNodeInfo.new_for_xml(PROBE_XML)
        self.bus.register_object("/probe", node.interfaces[0], self._reported)
        self.probes = 0

    def _reported(self, _bus, _sender, _path, _iface, _method, params, invocation):
        self.reports.append(json.loads(params.unpack()[0]))
        invocation.return_value(None)

    def call(self, service, path, interface, method, args=None, reply=None):
        result = self.bus.call_sync(service, path, interface, method, args,
                                    GLib.VariantType(reply) if reply else None,
                                    Gio.DBusCallFlags.NONE, 5000, None)
        return result.unpack() if result else None

    def scripting(self, method, *args):
        types = "(" + "s" * len(args) + ")"
        reply = {"loadScript": "(i)", "isScriptLoaded": "(b)"}.get(method)
        return self.call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", method,
                         GLib.Variant(types, args), reply)

    def probe(self, script=PROBE):
        """What a script of the test's reports: by default every window and the cursor."""
        self.probes += 1
        name = "tessaloom-probe-%d" % self.probes
        path = os.path.join(self.work, name + ".js")
        with open(path, "w") as f:
            f.write(script.replace("%s", self.bus.get_unique_name(), 1))
        self.reports.clear()
        (script,) = self.scripting("loadScript", path, name)
        try:
            for run_path in ("/Scripting/Script%d" % script, "/%d" % script):
                try:
                    self.call("org.kde.KWin", run_path, "org.kde.kwin.Script", "run")
                    break
                except GLib.Error:
                    continue
            context = GLib.MainContext.default()
            deadline = time.monotonic() + 5
            while not self.reports and time.monotonic() < deadline:
                context.iteration(False) or time.sleep(0.002)
        finally:
            self.scripting("unloadScript", name)
        if not self.reports:
            raise RuntimeError("the probe script did not report")
        return self.reports[0]

    def stop(self):
        if self.process.stdin:
            self.process.stdin.close()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()


class KWinTest(unittest.TestCase):
    outputs = 1

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tessaloom-kwin-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.clients = []
        self.session = KWinSession(self.work, self.outputs)
        self.addCleanup(self.session.stop)
        self.addCleanup(self.stop_clients)
        self.write_desktop_entries()

    def stop_clients(self):
        for p in self.clients:
            if p.poll() is None:
                p.kill()
            p.wait()
            p.stdout.close()

    def environment(self, **more):
        env = {k: v for k, v in os.environ.items() if k != "TESSALOOM_SCENE"}
        env.update(self.session.env)
        env.update(HOME=os.path.join(self.work, "home"),
                   TESSALOOM_DEFAULTS=os.path.join(self.work, "defaults.json"),
                   XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                   XDG_DATA_HOME=os.path.join(self.work, "data"),
                   XDG_DATA_DIRS=os.path.join(self.work, "system-data"))
        env.update(more)
        return env

    def write_desktop_entries(self):
        folder = os.path.join(self.work, "data", "applications")
        os.makedirs(folder)
        os.makedirs(os.path.join(self.work, "system-data"))
        gtk = "gjs %s org.example.ChatApp \"New chat=640x480\" \"Project notes=560x420\"" % GTK_CLIENT
        entries = {
            "google-chrome": "Name=Google Chrome\nExec=%s --window --class "
                             "google-chrome,Google-chrome --title Chrome" % X11_CLIENT,
            "firefox": "Name=Firefox\nStartupWMClass=firefox\nExec=%s --window --class "
                       "Navigator,firefox --title Firefox" % X11_CLIENT,
            "org.example.ChatApp": "Name=ChatGPT\nExec=" + gtk,
        }
        for name, body in entries.items():
            with open(os.path.join(folder, name + ".desktop"), "w") as f:
                f.write("[Desktop Entry]\nType=Application\n" + body + "\n")

    def start_client(self, argv):
        with open(os.path.join(self.work, "clients.log"), "a") as log:
            process = subprocess.Popen(argv, env=self.environment(), stdout=subprocess.PIPE,
                                       stderr=log)
        self.clients.append(process)
        line = read_line(process.stdout, time.monotonic() + 20)
        self.assertTrue(line and line.startswith("ready"), "client not ready: %r" % line)
        return process

    def open_x11(self, app, *windows):
        """X11 windows through XWayland: (title, WxH+X+Y, extra options...)."""
        argv = [X11_CLIENT]
        instance = "Navigator" if app is FIREFOX else app[0]
        for title, geometry, *extra in windows:
            argv += ["--window", "--class", "%s,%s" % (instance, app[0].capitalize()),
                     "--title", title, "--geometry", geometry] + list(extra)
        return self.start_client(argv)

    def open_wayland(self, app, *titles, flags=()):
        """Native Wayland GTK windows: titles as TITLE=WxH."""
        process = self.start_client(["gjs", GTK_CLIENT, app[0]] + list(titles) + list(flags))
        # Drawn is not yet shown: wait until KWin has every window, with a size.
        def shown():
            mine = [w for w in self.windows() if w["pid"] == process.pid]
            return len(mine) == len(titles) and all(w["frame"][2] > 0 for w in mine)
        self.assertTrue(wait_until(shown, 5), "KWin does not show the GTK client's windows")
        return process

    def run_program(self, *args, env=None, seconds=30):
        started = time.monotonic()
        r = subprocess.run([BINARY] + list(args), env=env or self.environment(),
                           capture_output=True, text=True, timeout=seconds)
        r.seconds = time.monotonic() - started
        return r

    def ok(self, *args):
        r = self.run_program(*args)
        self.assertEqual((r.returncode, r.stderr), (0, ""), r.stdout)
        return r.stdout

    def windows(self):
        """The windows the program could arrange, as KWin reports them."""
        return [w for w in self.session.probe()["windows"]
                if w["normal"] and not w["special"]]

    def frames(self):
        return {(w["pid"], w["title"]): w["frame"] for w in self.windows()}

    def planned(self, *args):
        """Where `args` puts every window, worked out on a scene file of the windows now."""
        report = self.session.probe()
        height = 1080
        bottom_left = lambda r: [r[0], height - (r[1] + r[3]), r[2], r[3]]
        screens = [{"name": self.output_name(i, report["outputs"]), "frame": bottom_left([1920 * i, 0, 1920, 1080]),
                    "visible": bottom_left([1920 * i, 0, 1920, 1080])}
                   for i in range(self.outputs)]
        apps, order = {}, []
        for w in report["windows"]:
            if not w["normal"] or w["special"]:
                continue
            ident, name = APPS.get((w["app"] or w["cls"]).lower(), (w["cls"], w["cls"]))
            if (ident, w["pid"]) not in apps:
                apps[(ident, w["pid"])] = {"pid": w["pid"], "bundleID": ident, "name": name,
                                           "windows": []}
                order.append((ident, w["pid"]))
            apps[(ident, w["pid"])]["windows"].append({"title": w["title"], "frame": w["frame"]})
        scene = {"trusted": True, "screens": screens, "apps": [apps[k] for k in order],
                 "mouse": [report["cursor"][0], height - report["cursor"][1]], "installed": []}
        front = [w["pid"] for w in report["windows"] if w["active"]]
        if front:
            scene["frontmost"] = front[0]
        plan = os.path.join(self.work, "plan")
        os.makedirs(plan, exist_ok=True)
        defaults = os.path.join(self.work, "defaults.json")
        if os.path.exists(defaults):
            shutil.copy(defaults, os.path.join(plan, "defaults.json"))
        elif os.path.exists(os.path.join(plan, "defaults.json")):
            os.remove(os.path.join(plan, "defaults.json"))
        with open(os.path.join(plan, "scene.json"), "w") as f:
            json.dump(scene, f)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(TESSALOOM_SCENE=os.path.join(plan, "scene.json"),
                   TESSALOOM_DEFAULTS=os.path.join(plan, "defaults.json"))
        r = self.run_program(*args, env=env)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(plan, "scene.json")) as f:
            after = json.load(f)
        planned = {(a["pid"], w["title"]): w["frame"] for a in after["apps"] for w in a["windows"]}
        return planned, r.stdout

    def output_name(self, index, names=None):
        """The name of an output: KWin 6's own; KWin 5 names none, and the program numbers them."""
        names = self.session.probe()["outputs"] if names is None else names
        if names:
            return names[index]
        return "screen" if self.outputs == 1 else "screen-%d" % (index + 1)

    def display_line(self, index):
        frame = "(%.1f, 0.0, 1920.0, 1080.0)" % (1920 * index)
        return "display %s frame=%s visible=%s" % (self.output_name(index), frame, frame)

    def settle_at(self, expected, seconds=5):
        """Whether every window reaches its expected frame before the time is up."""
        last = {}

        def arrived():
            last.update(self.frames())
            return all(k in last and near(last[k], v) for k, v in expected.items())
        if wait_until(arrived, seconds, 0.05):
            return True
        self.fail("not settled:\n" + "\n".join(
            "%s: %s, expected %s" % (k, last.get(k), v) for k, v in expected.items()
            if not near(last.get(k, [0] * 4), v)))

    def open_mixed(self):
        """Two browsers on XWayland and a native chat application."""
        self.open_x11(CHROME, ("Quarterly report - Google Docs", "900x700+60+80"),
                      ("ChatGPT - Summarise the report", "1000x700+300+120"))
        self.open_x11(FIREFOX, ("Release notes - Mozilla Firefox", "1100x800+700+150"))
        self.open_wayland(CHAT, "New chat=800x600", "Project notes=600x500")
        self.assertEqual(len(self.windows()), 5)

    def loaded_scripts(self):
        """The script objects KWin has: /<id> on KWin 5, /Scripting/Script<id> on KWin 6."""
        found = []
        for path in ("/", "/Scripting"):
            (xml,) = self.session.call("org.kde.KWin", path, "org.freedesktop.DBus.Introspectable",
                                       "Introspect", None, "(s)")
            nodes = [n.path for n in Gio.DBusNodeInfo.new_for_xml(xml).nodes]
            found += [n for n in nodes if re.fullmatch(r"\d+|Script\d+", n)]
        return found


class Commands(KWinTest):
    def test_listing_names_every_window_with_its_frame(self):
        self.open_mixed()
        r = self.run_program("--list")
        self.assertEqual((r.returncode, r.stderr), (0, ""))
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], self.display_line(0))
        frames = {title: f for (_, title), f in self.frames().items()}
        for kind, app, title in [("AI", "ChatGPT", "New chat"), ("AI", "ChatGPT", "Project notes"),
                                 ("ブラウザ", "Google Chrome", "Quarterly report - Google Docs"),
                                 ("AI", "Google Chrome", "ChatGPT - Summarise the report"),
                                 ("ブラウザ", "Firefox", "Release notes - Mozilla Firefox")]:
            f = frames[title]
            self.assertIn("[%s] %s | %s | (%.1f, %.1f, %.1f, %.1f)" % (kind, app, title, *f),
                          lines)
        self.assertEqual(len(lines), 6)
        # The command leaves no script of ours loaded.
        self.assertEqual(self.loaded_scripts(), [])

    def test_every_layout_puts_windows_at_their_planned_frames_and_undo_toggles(self):
        self.open_mixed()
        for raw, title in LAYOUTS:
            with self.subTest(raw):
                before = self.frames()
                planned, on_scene = self.planned("--apply", raw)
                self.assertEqual(self.ok("--apply", raw), on_scene)
                self.assertEqual(on_scene, "%s: 5枚\n" % title)
                self.settle_at(planned)
                self.assertEqual(self.ok("--undo"), "元に戻した: 5枚\n")
                self.settle_at(before)
                # Undo again takes the arrangement back.
                self.assertEqual(self.ok("--undo"), "元に戻した: 5枚\n")
                self.settle_at(planned)

    def test_windows_on_another_virtual_desktop_are_left_alone(self):
        self.open_x11(CHROME, ("Docs", "800x600+100+100"), ("Elsewhere", "700x500+300+200"))
        self.session.probe(TO_SECOND_DESKTOP)
        before = self.frames()
        self.assertNotIn("Elsewhere", self.ok("--list"))
        self.assertEqual(self.ok("--apply", "grid"), "自動タイルで整列: 1枚\n")
        elsewhere = [k for k in before if k[1] == "Elsewhere"]
        self.assertEqual(self.frames()[elsewhere[0]], before[elsewhere[0]])

    def test_a_maximized_window_is_un_maximized_and_placed(self):
        self.open_x11(CHROME, ("Docs", "800x600+100+100"))
        self.open_wayland(CHAT, "New chat=700x500", flags=["--maximized"])
        planned, _ = self.planned("--apply", "columns")
        self.assertEqual(self.ok("--apply", "columns"), "横一列に並べる: 2枚\n")
        self.settle_at(planned)

    def test_a_window_that_closes_mid_arrangement_is_left_out(self):
        self.open_x11(CHROME, ("Docs", "800x600+100+100"), ("Mail", "700x500+300+200"))
        self.open_x11(FIREFOX, ("Gone", "600x400+500+300", "--exit-on-resize"))
        planned, _ = self.planned("--apply", "grid")
        r = self.run_program("--apply", "grid")
        self.assertEqual(r.returncode, 0, r.stderr)
        frames = self.frames()
        self.assertNotIn("Gone", [t for _, t in frames])
        self.settle_at({k: v for k, v in planned.items() if k[1] != "Gone"})

    def test_save_kill_restore_relaunches_from_the_desktop_entry(self):
        self.open_x11(CHROME, ("Docs", "800x600+100+100"))
        chat = self.open_wayland(CHAT, "New chat=640x480", "Project notes=560x420")
        self.ok("--apply", "columns")
        time.sleep(0.3)
        self.assertEqual(self.ok("--save"), "保存: 3枚\n")
        saved = {t: f for (_, t), f in self.frames().items()}
        self.ok("--apply", "cascade")
        chat.kill()
        chat.wait()
        wait_until(lambda: len(self.windows()) == 1, 5)
        self.assertEqual(self.ok("--restore"), "復元: 3枚\n")
        self.settle_at({(p, t): saved[t] for (p, t) in self.frames()})
        self.assertEqual(sorted(t for _, t in self.frames()),
                         ["Docs", "New chat", "Project notes"])


class TwoOutputs(KWinTest):
    outputs = 2

    def test_each_output_is_arranged_on_its_own(self):
        self.open_x11(CHROME, ("Docs", "800x600+100+100"), ("Mail", "700x500+2100+200"))
        self.open_x11(FIREFOX, ("Notes", "600x400+2500+300"))
        r = self.run_program("--list")
        self.assertEqual(r.stdout.splitlines()[:2], [self.display_line(0), self.display_line(1)])
        for raw, _ in LAYOUTS:
            with self.subTest(raw):
                planned, on_scene = self.planned("--apply", raw, "--per-display")
                self.assertEqual(self.ok("--apply", raw, "--per-display"), on_scene)
                self.settle_at(planned)


class Tray(KWinTest):
    def test_shortcuts_arrange_and_the_overlay_shows_on_the_layer_surface(self):
        self.open_mixed()
        log = os.path.join(self.work, "tray.log")
        with open(log, "w") as errors:
            tray = subprocess.Popen([BINARY], env=self.environment(TESSALOOM_TRACE="1",
                                                                   LSAN_OPTIONS=LEAK_OPTIONS),
                                    stdout=subprocess.PIPE, stderr=errors)
        self.addCleanup(tray.stdout.close)
        self.addCleanup(lambda: tray.poll() is None and tray.kill())
        deadline = time.monotonic() + 15
        line = ""
        while line is not None and line != "ready":
            line = read_line(tray.stdout, deadline)
        self.assertEqual(line, "ready", "the tray did not start (see %s)" % log)
        for raw, title in LAYOUTS[:2]:
            with self.subTest(raw):
                planned, _ = self.planned("--apply", raw)
                keys = {"grid": "G", "columns": "H"}[raw]
                started = time.monotonic()
                self.session.call("org.kde.kglobalaccel", "/component/kwin",
                                  "org.kde.kglobalaccel.Component", "invokeShortcut",
                                  GLib.Variant("(s)", ("Tessaloom Ctrl+Alt+" + keys,)))
                self.settle_at(planned)
                print("\nshortcut %s: every window at its target after %.0f ms"
                      % (raw, (time.monotonic() - started) * 1000))
                # The overlay: a surface of the tray's own on the layer shell, which has no
                # title (the popup plate of X11 has one), near the bottom of the output.
                overlay = wait_until(lambda: [w for w in self.session.probe()["windows"]
                                              if w["pid"] == tray.pid], 2)
                self.assertEqual([(w["title"], w["frame"][1] > 540) for w in overlay],
                                 [("", True)])
        self.assertEqual(len(self.loaded_scripts()), 1)
        tray.send_signal(signal.SIGTERM)
        with open(log) as errors:
            self.assertEqual(tray.wait(10), 0, errors.read()[-3000:])
        self.assertEqual(self.loaded_scripts(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
