#!/usr/bin/env -S gjs
// Times a KWin global shortcut from inside KWin: loads a script that reports every normal
// window's frame on this connection and again each time KWin changes it, then answers one
// command a line on standard input:
//   target       the frames now are the ones to reach (prints "ok")
//   press NAME   invokes kwin's shortcut NAME through kglobalaccel and prints the microseconds
//                from the call until the windows hold those frames again, whichever window
//                takes which (within 2 pixels), or "timeout" after 2 s
// No process is started per run and nothing polls: the frames come from KWin as it sets them.
//   kwin-hotkey.js FOLDER   (the script is written there and removed at the end)
const {Gio, GLib} = imports.gi;

const bus = Gio.DBus.session;
const loop = new GLib.MainLoop(null, false);
const frames = new Map();  // caption → [x, y, width, height]
let target = [];
let waiting = null;  // {start, timeout}

const sorted = map => [...map.values()].sort((a, b) => a.join() < b.join() ? -1 : 1);
const reached = () => {
  const now = sorted(frames);
  return now.length === target.length &&
    now.every((f, i) => f.every((v, j) => Math.abs(v - target[i][j]) <= 2));
};
function settle() {
  if (!waiting || !reached()) return;
  GLib.source_remove(waiting.timeout);
  print(Math.round(GLib.get_monotonic_time() - waiting.start));
  waiting = null;
}
const watcher = Gio.DBusExportedObject.wrapJSObject(`<node><interface name="org.tessaloom.Bench">
  <method name="Frame"><arg type="s" direction="in"/><arg type="s" direction="in"/></method>
  </interface></node>`,
{Frame: (caption, frame) => { frames.set(caption, JSON.parse(frame)); settle(); }});
watcher.export(bus, '/bench');

// KWin 6 lists windows, KWin 5 clients; both give each a frameGeometryChanged signal.
const script = `
function report(w) {
  var g = w.frameGeometry;
  callDBus("${bus.get_unique_name()}", "/bench", "org.tessaloom.Bench", "Frame", w.caption,
           JSON.stringify([g.x, g.y, g.width, g.height]));
}
(workspace.windowList ? workspace.windowList() : workspace.clientList()).forEach(function (w) {
  if (!w.normalWindow || w.specialWindow) return;
  report(w);
  w.frameGeometryChanged.connect(function () { report(w); });
});`;
const name = `tessaloom-bench-${GLib.random_int()}`;
const file = `${ARGV[0]}/${name}.js`;
GLib.file_set_contents(file, script);
const call = (dest, path, iface, method, args) => bus.call_sync(dest, path, iface, method, args,
  null, Gio.DBusCallFlags.NONE, 5000, null);
const [id] = call('org.kde.KWin', '/Scripting', 'org.kde.kwin.Scripting', 'loadScript',
  new GLib.Variant('(ss)', [file, name])).deepUnpack();
// The script's object is /Scripting/Script<id> on KWin 6 and /<id> on KWin 5.
for (const path of [`/Scripting/Script${id}`, `/${id}`]) {
  try {
    call('org.kde.KWin', path, 'org.kde.kwin.Script', 'run', null);
    break;
  } catch (e) {}
}

const input = new Gio.DataInputStream({
  base_stream: new Gio.UnixInputStream({fd: 0, close_fd: false}),
});
function next() {
  input.read_line_async(GLib.PRIORITY_DEFAULT, null, (stream, result) => {
    const [bytes] = stream.read_line_finish_utf8(result);
    if (bytes === null) {
      loop.quit();
      return;
    }
    const [command, ...rest] = bytes.split(' ');
    if (command === 'target') {
      target = sorted(frames);
      print('ok');
    } else if (command === 'press') {
      const start = GLib.get_monotonic_time();
      const timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 2000, () => {
        print('timeout');
        waiting = null;
        return GLib.SOURCE_REMOVE;
      });
      waiting = {start, timeout};
      bus.call('org.kde.kglobalaccel', '/component/kwin', 'org.kde.kglobalaccel.Component',
        'invokeShortcut', new GLib.Variant('(s)', [rest.join(' ')]), null,
        Gio.DBusCallFlags.NONE, 5000, null, null);
    }
    next();
  });
}
next();
loop.run();
call('org.kde.KWin', '/Scripting', 'org.kde.kwin.Scripting', 'unloadScript',
  new GLib.Variant('(s)', [name]));
GLib.unlink(file);
