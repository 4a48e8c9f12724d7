#!/usr/bin/env -S gjs
// A GTK test client for the GNOME end-to-end tests: windows of one application with a chosen
// application id (the Wayland app id, or WM_CLASS under XWayland) and titles. Prints "ready"
// once every window has been drawn, then runs until killed.
//
//   gtk-client.js APP_ID TITLE[=WxH] ... [--maximized] [--dialog] [--fixed]
imports.gi.versions.Gtk = '3.0';
imports.gi.versions.Gdk = '3.0';
const {GLib} = imports.gi;

const flags = ARGV.filter(a => a.startsWith('--'));
const [appId, ...requests] = ARGV.filter(a => !a.startsWith('--'));
// The WM_CLASS under X11 and the app id on Wayland: set before GTK starts.
GLib.set_prgname(appId);
const {Gdk, Gtk} = imports.gi;
Gtk.init(null);

const windows = [];
const drawn = new Set();
for (const request of requests) {
  const [title, size] = request.split('=');
  const [width, height] = (size ?? '480x320').split('x').map(Number);
  const window = new Gtk.Window({title});
  window.set_default_size(width, height);
  if (flags.includes('--fixed')) {
    window.set_size_request(width, height);
    window.set_resizable(false);
  }
  if (flags.includes('--dialog'))
    window.set_type_hint(Gdk.WindowTypeHint.DIALOG);
  window.connect('draw', () => {
    drawn.add(window);
    if (drawn.size === windows.length && !drawn.told) {
      drawn.told = true;
      print('ready');
    }
    return false;
  });
  if (flags.includes('--maximized'))
    window.maximize();
  window.show_all();
  windows.push(window);
}
Gtk.main();
