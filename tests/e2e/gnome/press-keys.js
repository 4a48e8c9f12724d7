#!/usr/bin/env -S gjs
// Presses a chord as real key presses through mutter's RemoteDesktop interface, which a test
// can reach on a headless Shell: `press-keys.js Control_L Alt_L g` holds the keys down in that
// order and lets them go in reverse; `press-keys.js --pointer DX DY` moves the pointer by that
// much. The session lives as long as this connection.
const {Gio, GLib} = imports.gi;

const bus = Gio.DBus.session;
function call(path, iface, method, args, type) {
  return bus.call_sync('org.gnome.Mutter.RemoteDesktop', path, iface, method, args,
    type ? new GLib.VariantType(type) : null, Gio.DBusCallFlags.NONE, 5000, null);
}
const keysyms = {Control_L: 0xffe3, Alt_L: 0xffe9, Shift_L: 0xffe1, Super_L: 0xffeb, Escape: 0xff1b};
const pointer = ARGV[0] === '--pointer' ? ARGV.slice(1).map(Number) : null;
const codes = pointer ? [] : ARGV.map(k => keysyms[k] ?? k.codePointAt(0));
const [path] = call('/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
  'CreateSession', null, '(o)').deepUnpack();
const session = 'org.gnome.Mutter.RemoteDesktop.Session';
call(path, session, 'Start', null, null);
const key = (code, down) =>
  call(path, session, 'NotifyKeyboardKeysym', new GLib.Variant('(ub)', [code, down]), null);
if (pointer)
  call(path, session, 'NotifyPointerMotionRelative', new GLib.Variant('(dd)', pointer), null);
for (const code of codes)
  key(code, true);
for (const code of [...codes].reverse())
  key(code, false);
call(path, session, 'Stop', null, null);
