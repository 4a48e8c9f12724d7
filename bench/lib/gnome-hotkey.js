#!/usr/bin/env -S gjs
// Times a chord on a headless GNOME Shell with the Tessaloom extension, from one process: it
// presses keys through mutter's RemoteDesktop interface and reads the windows' frames with the
// extension's Facts call (so it must run as a program the extension trusts). One command a line
// on standard input:
//   target        the frames now are the ones to reach (prints "ok")
//   press KEYS    holds KEYS down in order and prints the microseconds from the last key going
//                 down until the windows hold those frames again, whichever window takes which
//                 (within 2 pixels), reading them every 2 ms; "timeout" after 2 s
const {Gio, GLib} = imports.gi;

const bus = Gio.DBus.session;
const call = (dest, path, iface, method, args) => bus.call_sync(dest, path, iface, method, args,
  null, Gio.DBusCallFlags.NONE, 5000, null);
const remote = (path, method, args, iface = 'org.gnome.Mutter.RemoteDesktop.Session') =>
  call('org.gnome.Mutter.RemoteDesktop', path, iface, method, args);
const [session] = remote('/org/gnome/Mutter/RemoteDesktop', 'CreateSession', null,
  'org.gnome.Mutter.RemoteDesktop').deepUnpack();
remote(session, 'Start', null);
const key = (code, down) =>
  remote(session, 'NotifyKeyboardKeysym', new GLib.Variant('(ub)', [code, down]));
const keysyms = {Control_L: 0xffe3, Alt_L: 0xffe9, Shift_L: 0xffe1, Super_L: 0xffeb};

const frames = () => {
  const [text] = call('org.tessaloom.Shell', '/org/tessaloom/Shell', 'org.tessaloom.Shell',
    'Facts', null).deepUnpack();
  return JSON.parse(text).windows.map(w => w.frame).sort((a, b) => a.join() < b.join() ? -1 : 1);
};
const same = (now, want) => now.length === want.length &&
  now.every((f, i) => f.every((v, j) => Math.abs(v - want[i][j]) <= 2));

let target = [];
const input = new Gio.DataInputStream({
  base_stream: new Gio.UnixInputStream({fd: 0, close_fd: false}),
});
for (;;) {
  const [line] = input.read_line_utf8(null);
  if (line === null)
    break;
  const [command, ...keys] = line.split(' ');
  if (command === 'target') {
    target = frames();
    print('ok');
  } else if (command === 'press') {
    const codes = keys.map(k => keysyms[k] ?? k.codePointAt(0));
    codes.forEach(c => key(c, true));
    const start = GLib.get_monotonic_time();
    codes.reverse().forEach(c => key(c, false));
    let answer = 'timeout';
    while (GLib.get_monotonic_time() - start < 2000000) {
      if (same(frames(), target)) {
        answer = String(GLib.get_monotonic_time() - start);
        break;
      }
      GLib.usleep(2000);
    }
    print(answer);
  }
}
remote(session, 'Stop', null);
