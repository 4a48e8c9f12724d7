// GNOME Shell 45 and later: ES modules and an Extension class.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import St from 'gi://St';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
//@BODY@
export default class TessaloomExtension extends Extension {
  enable() {
    this._channel = new TessaloomChannel(() => this.getSettings(), this.path);
    this._channel.enable();
  }

  disable() {
    this._channel.disable();
    this._channel = null;
  }
}
