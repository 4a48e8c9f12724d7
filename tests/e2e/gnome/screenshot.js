#!/usr/bin/env -S gjs
// Saves a screenshot of a test Shell as a PNG: `screenshot.js FILE`. The Shell serves its
// screenshot call only to the desktop's own screenshot tool, known by its bus name, which a
// private test session leaves free.
const {Gio, GLib} = imports.gi;

const bus = Gio.DBus.session;
bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
  'RequestName', new GLib.Variant('(su)', ['org.gnome.Screenshot', 4]), null,
  Gio.DBusCallFlags.NONE, 5000, null);
const [ok, used] = bus.call_sync('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot',
  'org.gnome.Shell.Screenshot', 'Screenshot', new GLib.Variant('(bbs)', [false, false, ARGV[0]]),
  new GLib.VariantType('(bs)'), Gio.DBusCallFlags.NONE, 10000, null).deepUnpack();
print(ok ? used : 'failed');
