#!/usr/bin/env -S gjs
// A GTK test client: windows of one application with a chosen application id (the Wayland app
// id, or WM_CLASS under XWayland) and titles. Prints "ready" once every window has been drawn,
// then runs until killed.
//
//   gtk-client.js APP_ID TITLE[=WxH] [--maximized] [--vanishes] [TITLE[=WxH] ...]
//
// A flag is for the window named before it: --vanishes ends the client as soon as the desktop
// resizes that window after "ready" (a window that goes in the middle of an arrangement), and
// kills PID first (a desktop that dies there).
imports.gi.versions.Gtk = '3.0';
const {GLib} = imports.gi;

const [appId, ...args] = ARGV;
// The WM_CLASS under X11 and the app id on Wayland: set before GTK starts.
GLib.set_prgname(appId);
const {Gtk} = imports.gi;
Gtk.init(null);

const wanted = [];
for (const arg of args) {
  if (arg.startsWith('--'))
    wanted[wanted.length - 1][arg.split('=')[0]] = arg.split('=')[1] ?? true;
  else
    wanted.push({request: arg});
}
let ready = false;
for (const one of wanted) {
  const [title, size = '480x320'] = one.request.split('=');
  const window = one.window = new Gtk.Window({title});
  window.set_default_size(...size.split('x').map(Number));
  window.connect('draw', () => {
    one.drawn = true;
    if (!ready && wanted.every(s => s.drawn)) {
      ready = true;
      wanted.forEach(s => (s.size = s.window.get_size().join()));
      print('ready');
    }
    return false;
  });
  window.connect('size-allocate', () => {
    if (!ready || !one['--vanishes'] || window.get_size().join() === one.size)
      return;
    imports.system.exit(0);
  });
  if (one['--maximized'])
    window.maximize();
  window.show_all();
}
Gtk.main();
