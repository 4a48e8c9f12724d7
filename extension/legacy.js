// GNOME Shell 43 and 44: modules come from the legacy `imports` object.
const {Clutter, Gio, GLib, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;
const ExtensionUtils = imports.misc.extensionUtils;
//@BODY@
/* exported init */
function init() {
  return new TessaloomChannel(() => ExtensionUtils.getSettings(),
    ExtensionUtils.getCurrentExtension().path);
}
