#!/usr/bin/env -S gjs
// Prints, as one line of JSON, KWin's outputs and its normal windows with their frames: loads a
// script into KWin that reports back on this connection, then unloads it. Given a TITLE, the
// script first sends that window to a second virtual desktop. Given --forge, the script calls
// our agent at every other connection with a token not its own, as a stale script of ours
// would, and reports the first answer instead.
//
//   kwin-probe.js FOLDER [TITLE] [--forge]   (the script is written there)
const {Gio, GLib} = imports.gi;

const bus = Gio.DBus.session;
const loop = new GLib.MainLoop(null, false);
let report = null;
const probe = Gio.DBusExportedObject.wrapJSObject(`<node><interface name="org.tessaloom.Probe">
  <method name="Report"><arg type="s" direction="in"/></method></interface></node>`,
{Report: text => { report = text; loop.quit(); }});
probe.export(bus, '/probe');
const names = () => bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
  'org.freedesktop.DBus', 'ListNames', null, null, Gio.DBusCallFlags.NONE, 5000, null)
  .deepUnpack()[0].filter(n => n.startsWith(':') && n !== bus.get_unique_name());
const forge = ARGV[2] === '--forge' ? names() : [];
// KWin 6, then KWin 5 (which names no outputs). KWin drops calls that end in an error.
const script = `
var ws = workspace.windowList ? workspace.windowList() : workspace.clientList();
var away = ${JSON.stringify(ARGV[1] ?? '')}, numbered = typeof workspace.desktops === "number";
if (away && numbered) workspace.desktops = 2;
if (away && !numbered && workspace.desktops.length < 2) workspace.createDesktop(1, "Away");
ws.forEach(function (w) {
  if (w.caption === away && numbered) w.desktop = 2;
  if (w.caption === away && !numbered) w.desktops = [workspace.desktops[1]];
});
function report(answer) {
  callDBus("${bus.get_unique_name()}", "/probe", "org.tessaloom.Probe", "Report", JSON.stringify({
    outputs: workspace.screens ? workspace.screens.map(function (o) { return o.name; }) : [],
    pointer: [workspace.cursorPos.x, workspace.cursorPos.y],
    windows: ws.filter(function (w) { return w.normalWindow && !w.specialWindow; })
      .map(function (w) {
        var g = w.frameGeometry;
        return {title: w.caption, app: w.desktopFileName || w.resourceClass, pid: w.pid,
                frame: [g.x, g.y, g.width, g.height]};
      }), answer: answer}));
}
var forge = ${JSON.stringify(forge)};
forge.forEach(function (n) {
  callDBus(n, "/org/tessaloom/KWinAgent", "org.tessaloom.KWinAgent", "Next", "forged", "{}", report);
});
if (!forge.length) report("");`;
const name = `tessaloom-probe-${GLib.random_int()}`;
const file = `${ARGV[0]}/${name}.js`;
GLib.file_set_contents(file, script);
const call = (path, iface, method, args) => bus.call_sync('org.kde.KWin', path, iface, method,
  args, null, Gio.DBusCallFlags.NONE, 5000, null);
const [id] = call('/Scripting', 'org.kde.kwin.Scripting', 'loadScript',
  new GLib.Variant('(ss)', [file, name])).deepUnpack();
// The script's object is /Scripting/Script<id> on KWin 6 and /<id> on KWin 5.
for (const path of [`/Scripting/Script${id}`, `/${id}`]) {
  try {
    call(path, 'org.kde.kwin.Script', 'run', null);
    break;
  } catch (e) {}
}
GLib.timeout_add(GLib.PRIORITY_DEFAULT, 5000, () => loop.quit());
loop.run();
call('/Scripting', 'org.kde.kwin.Scripting', 'unloadScript', new GLib.Variant('(s)', [name]));
GLib.unlink(file);
print(report ?? '');
