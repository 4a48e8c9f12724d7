#!/usr/bin/env -S gjs
// Presses a chord as real key presses through mutter's RemoteDesktop interface, which a test
// can reach on a headless Shell: `press-keys.js Control_L Alt_L g` holds the keys down in that
// order and lets them go in reverse; `press-keys.js --pointer DX DY` moves the pointer by that
// much.
const {Gio, GLib} = imports.gi;

const call = (path, method, args, iface = 'org.gnome.Mutter.RemoteDesktop.Session') =>
  Gio.DBus.session.call_sync('org.gnome.Mutter.RemoteDesktop', path, iface, method, args, null,
    Gio.DBusCallFlags.NONE, 5000, null);
const [path] = call('/org/gnome/Mutter/RemoteDesktop', 'CreateSession', null,
  'org.gnome.Mutter.RemoteDesktop').deepUnpack();
call(path, 'Start', null);
if (ARGV[0] === '--pointer') {
  const motion = ARGV.slice(1).map(Number);
  call(path, 'NotifyPointerMotionRelative', new GLib.Variant('(dd)', motion));
} else {
  const keysyms = {Control_L: 0xffe3, Alt_L: 0xffe9, Shift_L: 0xffe1, Super_L: 0xffeb};
  const codes = ARGV.map(k => keysyms[k] ?? k.codePointAt(0));
  for (const [code, down] of [...codes.map(c => [c, true]), ...codes.reverse().map(c => [c, false])])
    call(path, 'NotifyKeyboardKeysym', new GLib.Variant('(ub)', [code, down]));
}
call(path, 'Stop', null);
