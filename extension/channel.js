// The Tessaloom channel: one D-Bus object that reports windows and monitors as plain facts and
// carries out what the program decides (moves, key bindings, the overlay plate, the panel
// menu). No policy lives here. What a client (a unique bus name) sets up is its own: only it
// changes it, and it goes when that client leaves the bus. Shared by both module flavours; the
// build puts the flavour's imports above it.
const BUS_NAME = 'org.tessaloom.Shell';
const OBJECT_PATH = '/org/tessaloom/Shell';
const INTERFACE = `<node><interface name="org.tessaloom.Shell">
  <method name="Facts"><arg type="s" direction="out"/></method>
  <method name="Place"><arg name="moves" type="s" direction="in"/></method>
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
</interface></node>`;

var TessaloomChannel = class {
  constructor(settings) {
    this._makeSettings = settings;
  }

  enable() {
    this._settings = this._makeSettings();
    this._keys = new Map();
    this._plates = new Map();
    this._nextPlate = 1;
    this._clients = new Map();
    this._button = this._buttonOwner = null;
    this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
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
    if (this._owner)
      Gio.bus_unown_name(this._owner);
    this._startup = this._owner = null;
    this._dbus.unexport();
    this._forget(null);
    this._settings = null;
  }

  _own() {
    this._owner = Gio.bus_own_name(Gio.BusType.SESSION, BUS_NAME,
      Gio.BusNameOwnerFlags.NONE, null, null, null);
  }

  _watch(invocation) {
    const sender = invocation.get_sender();
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
    if (this._button && (sender === null || this._buttonOwner === sender)) {
      this._button.destroy();
      this._button = null;
    }
  }

  _windows() {
    return global.get_window_actors().map(a => a.get_meta_window())
      .filter(w => w && !w.is_override_redirect());
  }

  Facts() {
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
    return JSON.stringify({
      windows, monitors, primary: Main.layoutManager.primaryIndex, pointer: [x, y],
      focus: focus ? focus.get_id() : 0, workspace: workspace.index(), plates,
      button: Boolean(this._button),
    });
  }

  Place(moves) {
    const byId = new Map(this._windows().map(w => [w.get_id(), w]));
    for (const m of JSON.parse(moves)) {
      const w = byId.get(m.id);
      if (!w)
        continue;
      if (m.leaveFullScreen)
        w.unmake_fullscreen();
      // GNOME 51 takes the direction apart, and unmaximize() without it.
      if (m.unmaximize && w.set_unmaximize_flags) {
        w.set_unmaximize_flags(Meta.MaximizeFlags.BOTH);
        w.unmaximize();
      } else if (m.unmaximize) {
        w.unmaximize(Meta.MaximizeFlags.BOTH);
      }
      if (m.resize)
        w.move_resize_frame(true, m.x, m.y, m.width, m.height);
      else
        w.move_frame(true, m.x, m.y);
    }
  }

  // A slot another client holds passes to the caller (a tray copy taking over from the last).
  BindKeyAsync([slot, accelerator], invocation) {
    const owner = this._watch(invocation);
    this._unbind(slot);
    const name = `hot-key-${slot}`;
    this._settings.set_strv(name, [accelerator]);
    const action = Main.wm.addKeybinding(name, this._settings, Meta.KeyBindingFlags.NONE,
      Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW,
      () => this._dbus.emit_signal('KeyPressed', new GLib.Variant('(u)', [slot])));
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

  _unbind(slot) {
    const key = this._keys.get(slot);
    if (!key)
      return;
    Main.wm.removeKeybinding(key.name);
    this._keys.delete(slot);
  }

  // A plate of the overlay: never reactive, never focused, above the windows.
  PlateCreateAsync([plate], invocation) {
    const owner = this._watch(invocation);
    const p = JSON.parse(plate);
    const box = new St.BoxLayout({style: p.boxStyle, reactive: false, can_focus: false});
    box.add_child(new St.Icon({icon_name: p.icon, icon_size: p.iconSize, style: p.iconStyle,
      y_align: Clutter.ActorAlign.CENTER}));
    box.add_child(new St.Label({text: p.text, style: p.labelStyle,
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
    const owner = this._watch(invocation);
    if (!this._button) {
      this._button = new PanelMenu.Button(0.0, label, false);
      this._icon = new St.Icon({style_class: 'system-status-icon'});
      this._button.add_child(this._icon);
      this._button.menu.connect('open-state-changed', (_menu, open) => {
        if (open)
          this._dbus.emit_signal('MenuWanted', null);
      });
      Main.panel.addToStatusArea(BUS_NAME, this._button);
    }
    this._buttonOwner = owner;
    this._icon.gicon = Gio.icon_new_for_string(icon);
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
        entry = new PopupMenu.PopupSubMenuMenuItem(item.title);
        this._fill(entry.menu, item.submenu);
      } else {
        entry = new PopupMenu.PopupMenuItem(item.title);
        entry.setOrnament(item.on ? PopupMenu.Ornament.CHECK : PopupMenu.Ornament.NONE);
        entry.connect('activate', () =>
          this._dbus.emit_signal('MenuChosen', new GLib.Variant('(s)', [item.path])));
      }
      entry.setSensitive(item.enabled !== false);
      menu.addMenuItem(entry);
    }
  }
};
