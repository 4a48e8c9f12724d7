// The Tessaloom channel: one D-Bus object that reports windows and monitors as plain facts and
// carries out what the program decides (moves, key bindings, the overlay plate, the panel
// menu). No policy lives here. Only the Tessaloom program of this installation may call it;
// what a client (a unique bus name) sets up is its own: only it changes it, only it hears of
// it, and it goes when that client leaves the bus. Shared by both module flavours; the build
// puts the flavour's imports above it.
const BUS_NAME = 'org.tessaloom.Shell';
const OBJECT_PATH = '/org/tessaloom/Shell';
const INTERFACE = `<node><interface name="org.tessaloom.Shell">
  <method name="Facts"><arg type="s" direction="out"/></method>
  <method name="Place"><arg name="moves" type="s" direction="in"/>
    <arg type="s" direction="out"/></method>
  <signal name="Frames"><arg name="frames" type="s"/></signal>
  <method name="BindKey"><arg name="slot" type="u" direction="in"/>
    <arg name="accelerator" type="s" direction="in"/><arg type="b" direction="out"/></method>
  <method name="UnbindKey"><arg name="slot" type="u" direction="in"/></method>
  <signal name="KeyPressed"><arg name="slot" type="u"/></signal>
  <method name="PlateCreate"><arg name="plate" type="s" direction="in"/>
    <arg name="id" type="u" direction="out"/><arg name="width" type="d" direction="out"/>
    <arg name="height" type="d" direction="out"/></method>
  <method name="PlateSet"><arg name="id" type="u" direction="in"/>
    <arg name="x" type="d" direction="in"/><arg name="y" type="d" direction="in"/>
    <arg name="alpha" type="d" direction="in"/><arg name="shown" type="b" direction="in"/></method>
  <method name="PlateDestroy"><arg name="id" type="u" direction="in"/></method>
  <method name="ButtonShow"><arg name="icon" type="s" direction="in"/>
    <arg name="label" type="s" direction="in"/></method>
  <method name="MenuFill"><arg name="menu" type="s" direction="in"/></method>
  <signal name="MenuWanted"/>
  <signal name="MenuChosen"><arg name="path" type="s"/></signal>
  <method name="WatchMonitors"><arg name="on" type="b" direction="in"/></method>
  <signal name="MonitorsChanged"/>
</interface></node>`;

const METHODS = ['Facts', 'Place', 'BindKey', 'UnbindKey', 'PlateCreate', 'PlateSet',
  'PlateDestroy', 'ButtonShow', 'MenuFill', 'WatchMonitors'];
const DENIED = 'org.freedesktop.DBus.Error.AccessDenied';
// The plate's looks; the caller picks one by name and gives only sizes.
const LOOKS = {
  dark: {box: 'background-color: rgba(33, 33, 33, 0.9);', icon: 'color: #3584e4;',
    label: 'color: #ffffff; font-weight: 600;'},
};

// The programs that may call: bin/tessaloom of the prefix the extension is installed in
// (<prefix>/share/gnome-shell/extensions/<uuid>), and those the build lists in `trusted` for
// the copy it assembles in its own tree (never installed).
function trustedPrograms(dir) {
  const folder = Gio.File.new_for_path(dir);
  const prefix = folder.get_parent()?.get_parent()?.get_parent()?.get_parent();
  const programs = prefix ? [prefix.get_child('bin').get_child('tessaloom').get_path()] : [];
  try {
    const [, bytes] = GLib.file_get_contents(folder.get_child('trusted').get_path());
    programs.push(...new TextDecoder().decode(bytes).split('\n').filter(p => p.startsWith('/')));
  } catch (e) {}
  return programs;
}

// A letter with at least two of Control, Alt and Super (Shift may join): no bare keys.
function chordAllowed(accelerator) {
  const m = /^((?:<(?:Control|Alt|Shift|Super)>)+)[a-z]$/.exec(accelerator);
  const held = m ? m[1].slice(1, -1).split('><') : [];
  return ['Control', 'Alt', 'Super'].filter(k => held.includes(k)).length >= 2;
}

// A themed icon's name, or the program's own icon file; nothing else is drawn.
function iconAllowed(icon) {
  return /^[a-z0-9-]*$/.test(icon) || /^\/[^]*\/tessaloom-symbolic\.svg$/.test(icon);
}

const px = n => `${Math.round(Math.min(Math.max(Number(n) || 0, 0), 400))}px`;

var TessaloomChannel = class {
  constructor(settings, dir) {
    this._makeSettings = settings;
    this._dir = dir;
  }

  enable() {
    this._programs = trustedPrograms(this._dir);
    this._uid = new Gio.Credentials().get_unix_user();
    this._callers = new Map();
    this._settings = this._makeSettings();
    this._keys = new Map();
    this._plates = new Map();
    this._nextPlate = 1;
    this._clients = new Map();
    this._follows = new Map();
    this._button = this._buttonOwner = null;
    // The clients told of every change of the monitors, as the Shell sees it.
    this._monitorWatchers = new Set();
    this._monitors = Main.layoutManager.connect('monitors-changed', () => {
      for (const client of this._monitorWatchers)
        this._tell(client, 'MonitorsChanged', null);
    });
    const gate = {};
    for (const method of METHODS)
      gate[`${method}Async`] = (args, invocation) => this._serve(method, args, invocation);
    this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, gate);
    this._dbus.export(Gio.DBus.session, OBJECT_PATH);
    // The name says "ready": the work areas leave out the top bar only once start-up is over.
    if (Main.layoutManager._startingUp)
      this._startup = Main.layoutManager.connect('startup-complete', () => this._own());
    else
      this._own();
  }

  disable() {
    if (this._startup)
      Main.layoutManager.disconnect(this._startup);
    Main.layoutManager.disconnect(this._monitors);
    if (this._owner)
      Gio.bus_unown_name(this._owner);
    this._startup = this._owner = null;
    this._dbus.unexport();
    this._dbus = null;
    this._forget(null);
    this._settings = null;
  }

  _own() {
    this._owner = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME,
      Gio.BusNameOwnerFlags.NONE, null, null, null);
  }

  // Everyone but the program is refused and learns nothing; a caller is looked up once.
  _serve(method, args, invocation) {
    const sender = invocation.get_sender();
    if (!this._callers.has(sender)) {
      if (this._callers.size >= 256)
        this._callers.clear();
      this._callers.set(sender, new Promise(resolve => Gio.DBus.session.call(
        'org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
        'GetConnectionCredentials', new GLib.Variant('(s)', [sender]),
        new GLib.VariantType('(a{sv})'), Gio.DBusCallFlags.NONE, 2000, null, (bus, result) => {
          try {
            const [c] = bus.call_finish(result).recursiveUnpack();
            resolve(this._isProgram(c.ProcessID, c.UnixUserID));
          } catch (e) {
            resolve(false);
          }
        })));
    }
    this._callers.get(sender).then(trusted => {
      if (!trusted || !this._dbus)
        return invocation.return_dbus_error(DENIED, 'Only Tessaloom may use this channel');
      try {
        this[`${method}Async`](args, invocation);
      } catch (e) {
        invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs', String(e));
      }
    });
  }

  // The program's executable, also once replaced on disk, run by the Shell's user, unsandboxed.
  _isProgram(pid, uid) {
    if (!pid || uid !== this._uid)
      return false;
    try {
      const exe = GLib.file_read_link(`/proc/${pid}/exe`).replace(/ \(deleted\)$/, '');
      const [, cgroup] = GLib.file_get_contents(`/proc/${pid}/cgroup`);
      return this._programs.includes(exe) && !new TextDecoder().decode(cgroup).includes('/snap.') &&
        !GLib.file_test(`/proc/${pid}/root/.flatpak-info`, GLib.FileTest.EXISTS);
    } catch (e) {
      return false;
    }
  }

  // A signal for `client` alone.
  _tell(client, signal, args) {
    Gio.DBus.session.emit_signal(client, OBJECT_PATH, BUS_NAME, signal, args);
  }

  _watch(sender) {
    if (!this._clients.has(sender)) {
      this._clients.set(sender, Gio.bus_watch_name_on_connection(Gio.DBus.session, sender,
        Gio.BusNameWatcherFlags.NONE, null, () => this._forget(sender)));
    }
    return sender;
  }

  // What `sender` set up, or everything for null.
  _forget(sender) {
    for (const [client, id] of this._clients) {
      if (sender === null || client === sender) {
        Gio.bus_unwatch_name(id);
        this._clients.delete(client);
      }
    }
    for (const [slot, key] of this._keys) {
      if (sender === null || key.owner === sender)
        this._unbind(slot);
    }
    for (const [id, plate] of this._plates) {
      if (sender === null || plate.owner === sender) {
        plate.box.destroy();
        this._plates.delete(id);
      }
    }
    for (const client of this._monitorWatchers) {
      if (sender === null || client === sender)
        this._monitorWatchers.delete(client);
    }
    for (const client of [...this._follows.keys()]) {
      if (sender === null || client === sender)
        this._unfollow(client);
    }
    if (this._button && (sender === null || this._buttonOwner === sender)) {
      this._button.destroy();
      this._button = null;
    }
  }

  _windows() {
    return global.get_window_actors().map(a => a.get_meta_window())
      .filter(w => w && !w.is_override_redirect());
  }

  FactsAsync(_args, invocation) {
    const workspace = global.workspace_manager.get_active_workspace();
    const windows = this._windows().map(w => {
      const f = w.get_frame_rect();
      const maximized = w.is_maximized ? w.is_maximized() : w.get_maximized() !== 0;
      return {
        id: w.get_id(), sequence: w.get_stable_sequence(),
        sandboxedAppId: w.get_sandboxed_app_id() ?? '',
        gtkApplicationId: w.get_gtk_application_id() ?? '',
        wmClass: w.get_wm_class() ?? '', wmInstance: w.get_wm_class_instance() ?? '',
        pid: w.get_pid(), title: w.get_title() ?? '', frame: [f.x, f.y, f.width, f.height],
        type: w.get_window_type(), minimized: w.minimized, fullScreen: w.is_fullscreen(),
        maximized, resizable: w.allows_resize(), monitor: w.get_monitor(),
        workspace: w.is_on_all_workspaces() ? -1 : w.get_workspace()?.index() ?? -2,
        skipTaskbar: w.is_skip_taskbar(),
      };
    });
    const monitors = Main.layoutManager.monitors.map((m, i) => {
      const a = workspace.get_work_area_for_monitor(i);
      return {frame: [m.x, m.y, m.width, m.height], workArea: [a.x, a.y, a.width, a.height]};
    });
    const [x, y] = global.get_pointer();
    const focus = global.display.focus_window;
    // The overlay plates on show and the top bar's button, as the Shell draws them.
    const plates = [...this._plates.values()].map(p => p.box).filter(p => p.visible).map(p => ({
      text: p.get_last_child().text, frame: [p.x, p.y, p.width, p.height], opacity: p.opacity,
    }));
    invocation.return_value(new GLib.Variant('(s)', [JSON.stringify({
      windows, monitors, primary: Main.layoutManager.primaryIndex, pointer: [x, y],
      focus: focus ? focus.get_id() : 0, workspace: workspace.index(), plates,
      button: Boolean(this._button),
    })]));
  }

  // Answers with the moved windows' frames once the moves are made, and tells the caller of
  // each change of them for a while (see _follow).
  PlaceAsync([moves], invocation) {
    const byId = new Map(this._windows().map(w => [w.get_id(), w]));
    const moved = [];
    for (const m of JSON.parse(moves)) {
      const w = byId.get(m.id);
      if (!w)
        continue;
      moved.push(w);
      if (m.leaveFullScreen)
        w.unmake_fullscreen();
      // GNOME 51 takes the direction apart, and unmaximize() without it.
      if (m.unmaximize && w.set_unmaximize_flags) {
        w.set_unmaximize_flags(Meta.MaximizeFlags.BOTH);
        w.unmaximize();
      } else if (m.unmaximize) {
        w.unmaximize(Meta.MaximizeFlags.BOTH);
      }
      // Mutter drops the whole request when the size is below the window's least: the move
      // goes on its own first.
      w.move_frame(true, m.x, m.y);
      if (m.resize)
        w.move_resize_frame(true, m.x, m.y, m.width, m.height);
    }
    const frames = this._follow(invocation.get_sender(), moved);
    invocation.return_value(new GLib.Variant('(s)', [JSON.stringify(frames)]));
  }

  // The frames of `windows` now, by id. Until `client` places again or leaves the bus, and
  // for a second at most, it alone is told of their changes (null for a window gone), once per
  // turn of the Shell's main loop, so that it can see them in place without asking a Shell
  // busy drawing them.
  _follow(client, windows) {
    this._unfollow(client);
    this._watch(client);
    const frameOf = w => {
      const f = w.get_frame_rect();
      return [f.x, f.y, f.width, f.height];
    };
    const follow = {handlers: [], changed: new Map(), idle: 0};
    const tell = () => {
      follow.idle = 0;
      const frames = {};
      for (const [w, gone] of follow.changed)
        frames[w.get_id()] = gone ? null : frameOf(w);
      follow.changed.clear();
      this._tell(client, 'Frames', new GLib.Variant('(s)', [JSON.stringify(frames)]));
      return GLib.SOURCE_REMOVE;
    };
    const changed = (w, gone) => {
      follow.changed.set(w, gone);
      follow.idle ||= GLib.idle_add(GLib.PRIORITY_DEFAULT, tell);
    };
    for (const w of windows) {
      for (const signal of ['position-changed', 'size-changed'])
        follow.handlers.push([w, w.connect(signal, () => changed(w, false))]);
      follow.handlers.push([w, w.connect('unmanaged', () => changed(w, true))]);
    }
    follow.timer = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 1000, () => {
      follow.timer = 0;
      this._unfollow(client);
      return GLib.SOURCE_REMOVE;
    });
    this._follows.set(client, follow);
    return Object.fromEntries(windows.map(w => [w.get_id(), frameOf(w)]));
  }

  _unfollow(client) {
    const follow = this._follows.get(client);
    if (!follow)
      return;
    for (const [w, id] of follow.handlers) {
      try {
        w.disconnect(id);
      } catch (e) {}  // a window already gone
    }
    for (const source of [follow.timer, follow.idle].filter(Boolean))
      GLib.source_remove(source);
    this._follows.delete(client);
  }

  // A slot another client holds passes to the caller (a tray copy taking over from the last).
  BindKeyAsync([slot, accelerator], invocation) {
    if (!chordAllowed(accelerator)) {
      invocation.return_value(new GLib.Variant('(b)', [false]));
      return;
    }
    const owner = this._watch(invocation.get_sender());
    this._unbind(slot);
    const name = `hot-key-${slot}`;
    this._settings.set_strv(name, [accelerator]);
    const action = Main.wm.addKeybinding(name, this._settings, Meta.KeyBindingFlags.NONE,
      Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW,
      () => this._tell(owner, 'KeyPressed', new GLib.Variant('(u)', [slot])));
    const bound = action !== Meta.KeyBindingAction.NONE;
    if (bound)
      this._keys.set(slot, {name, owner});
    invocation.return_value(new GLib.Variant('(b)', [bound]));
  }

  UnbindKeyAsync([slot], invocation) {
    if (this._keys.get(slot)?.owner === invocation.get_sender())
      this._unbind(slot);
    invocation.return_value(null);
  }

  WatchMonitorsAsync([on], invocation) {
    if (on)
      this._monitorWatchers.add(this._watch(invocation.get_sender()));
    else
      this._monitorWatchers.delete(invocation.get_sender());
    invocation.return_value(null);
  }

  _unbind(slot) {
    const key = this._keys.get(slot);
    if (!key)
      return;
    Main.wm.removeKeybinding(key.name);
    this._keys.delete(slot);
  }

  // A plate of the overlay: never reactive, never focused, above the windows.
  PlateCreateAsync([plate], invocation) {
    const p = JSON.parse(plate), look = LOOKS[p.look] ?? LOOKS.dark, s = p.sizes ?? {};
    const owner = this._watch(invocation.get_sender());
    const inset = [s.top, s.right, s.bottom, s.left].map(px).join(' ');
    const box = new St.BoxLayout({reactive: false, can_focus: false,
      style: `${look.box} border-radius: ${px(s.corner)}; padding: ${inset}; spacing: ${px(s.spacing)};`});
    box.add_child(new St.Icon({icon_name: iconAllowed(String(p.icon)) ? String(p.icon) : '',
      icon_size: Math.min(Math.max(Number(p.iconSize) || 0, 0), 400), style: look.icon,
      y_align: Clutter.ActorAlign.CENTER}));
    box.add_child(new St.Label({text: String(p.text ?? ''), style: `${look.label} font-size: ${px(s.font)};`,
      y_align: Clutter.ActorAlign.CENTER}));
    box.opacity = 0;
    box.hide();
    Main.layoutManager.uiGroup.add_child(box);
    const [, width] = box.get_preferred_width(-1);
    const [, height] = box.get_preferred_height(width);
    const id = this._nextPlate++;
    this._plates.set(id, {box, owner});
    invocation.return_value(new GLib.Variant('(udd)', [id, width, height]));
  }

  // The plate `id` if the caller made it.
  _plate(id, invocation) {
    const plate = this._plates.get(id);
    invocation.return_value(null);
    return plate?.owner === invocation.get_sender() ? plate.box : null;
  }

  PlateSetAsync([id, x, y, alpha, shown], invocation) {
    const box = this._plate(id, invocation);
    if (!box)
      return;
    box.set_position(Math.round(x), Math.round(y));
    box.opacity = Math.round(Math.min(Math.max(alpha, 0), 1) * 255);
    if (shown) {
      Main.layoutManager.uiGroup.set_child_above_sibling(box, null);
      box.show();
    } else {
      box.hide();
    }
  }

  PlateDestroyAsync([id], invocation) {
    const box = this._plate(id, invocation);
    if (!box)
      return;
    box.destroy();
    this._plates.delete(id);
  }

  // The program's own menu in the top bar, asked for anew each time it opens. The button
  // passes to the last client that shows it.
  ButtonShowAsync([icon, label], invocation) {
    if (!iconAllowed(icon))
      return invocation.return_dbus_error('org.freedesktop.DBus.Error.InvalidArgs', 'icon');
    const owner = this._watch(invocation.get_sender());
    if (!this._button) {
      this._button = new PanelMenu.Button(0.0, label, false);
      this._icon = new St.Icon({style_class: 'system-status-icon'});
      this._button.add_child(this._icon);
      this._button.menu.connect('open-state-changed', (_menu, open) => {
        if (open)
          this._tell(this._buttonOwner, 'MenuWanted', null);
      });
      Main.panel.addToStatusArea(BUS_NAME, this._button);
    }
    this._buttonOwner = owner;
    this._icon.gicon = icon.startsWith('/') ? Gio.FileIcon.new(Gio.File.new_for_path(icon))
      : Gio.ThemedIcon.new(icon);
    this._button.accessible_name = label;
    invocation.return_value(null);
  }

  MenuFillAsync([menu], invocation) {
    invocation.return_value(null);
    if (!this._button || this._buttonOwner !== invocation.get_sender())
      return;
    this._button.menu.removeAll();
    this._fill(this._button.menu, JSON.parse(menu));
  }

  _fill(menu, items) {
    for (const item of items) {
      let entry;
      if (item.separator) {
        entry = new PopupMenu.PopupSeparatorMenuItem();
      } else if (item.submenu) {
        entry = new PopupMenu.PopupSubMenuMenuItem(String(item.title));
        this._fill(entry.menu, item.submenu);
      } else {
        entry = new PopupMenu.PopupMenuItem(String(item.title));
        entry.setOrnament(item.on ? PopupMenu.Ornament.CHECK : PopupMenu.Ornament.NONE);
        entry.connect('activate', () => this._tell(this._buttonOwner, 'MenuChosen',
          new GLib.Variant('(s)', [String(item.path)])));
      }
      entry.setSensitive(item.enabled !== false);
      menu.addMenuItem(entry);
    }
  }
};
