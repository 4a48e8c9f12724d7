#include "platform/kwin/kwin_script.h"

#include <nlohmann/json.hpp>

namespace tessaloom::platform::kwin {
namespace {

// The script's loop: it reports the facts, then waits for the answer to its D-Bus call, which
// is the next request, carries it out and calls again. "quit" ends the loop and unloads the
// script. The requests: "report" (the facts again), "place" (moves: id and frame), "bind" (a
// shortcut that calls Pressed(name) on the named service), "outputs" (each change of the
// outputs calls Changed() of the named interface on the named service; none for an empty
// service), "idle" (nothing).
// KWin drops a call whose callee has gone without telling the script, so the script asks the
// bus every two seconds whether its program is still there and unloads itself, shortcuts and
// all, once it is not (where KWin lends scripts a QTimer: 5.27 and later).
constexpr const char* kBody = R"js(
function windows() { return workspace.windowList ? workspace.windowList() : workspace.clientList(); }
function box(r) { return [r.x, r.y, r.width, r.height]; }
function key(d) { return d !== null && typeof d === "object" ? String(d.id) : String(d); }
function outputs() {
  var d = workspace.currentDesktop, all = [];
  if (workspace.screens)
    workspace.screens.forEach(function (o) {
      all.push({name: o.name, frame: box(o.geometry),
                usable: box(workspace.clientArea(KWin.MaximizeArea, o, d))});
    });
  else
    for (var i = 0; i < workspace.numScreens; ++i)
      all.push({name: "", frame: box(workspace.clientArea(KWin.ScreenArea, i, d)),
                usable: box(workspace.clientArea(KWin.MaximizeArea, i, d))});
  return all;
}
function facts(w) {
  return {id: String(w.internalId), desktopFileName: w.desktopFileName,
          resourceClass: w.resourceClass, resourceName: w.resourceName, caption: w.caption,
          pid: w.pid, frame: box(w.frameGeometry), client: w.clientGeometry ? box(w.clientGeometry) : null,
          minSize: w.minSize ? [w.minSize.width, w.minSize.height] : null,
          normal: w.normalWindow, special: w.specialWindow,
          deleted: !!w.deleted, minimized: w.minimized, fullScreen: w.fullScreen,
          maximizeMode: w.maximizeMode === undefined ? null : w.maximizeMode, active: w.active,
          output: w.output ? w.output.name : w.screen,
          desktops: w.onAllDesktops ? [] : (w.desktops ? w.desktops.map(key) : [key(w.desktop)])};
}
function report() {
  var c = workspace.cursorPos;
  return {windows: windows().map(facts), outputs: outputs(), desktop: key(workspace.currentDesktop),
          cursor: [c.x, c.y]};
}
function place(moves) {
  var byId = {};
  windows().forEach(function (w) { byId[String(w.internalId)] = w; });
  moves.forEach(function (m) {
    var w = byId[m.id];
    if (!w) return;
    if (w.fullScreen) w.fullScreen = false;
    if (w.setMaximize) w.setMaximize(false, false);
    w.frameGeometry = {x: m.frame[0], y: m.frame[1], width: m.frame[2], height: m.frame[3]};
  });
}
function bind(b) {
  registerShortcut(b.name, b.text, b.keys, function () {
    callDBus(b.service, bus.path, bus.interface, "Pressed", b.name);
  });
}
var outputsTo = null;
function watchOutputs(r) {
  if (outputsTo === null)  // KWin 5 and KWin 6 name the signals differently: each that exists
    ["screensChanged", "numberScreensChanged", "screenResized", "virtualScreenSizeChanged",
     "virtualScreenGeometryChanged"].forEach(function (name) {
      if (workspace[name] && workspace[name].connect)
        workspace[name].connect(function () {
          if (outputsTo.service) callDBus(outputsTo.service, bus.path, outputsTo.interface, "Changed");
        });
    });
  outputsTo = r;
}
function unload() {
  callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", bus.plugin);
}
function next(reply) {
  callDBus(bus.service, bus.path, bus.interface, "Next", bus.token, JSON.stringify(reply), answer);
}
function answer(text) {
  var r = JSON.parse(text);
  if (r.op === "quit") return unload();
  if (r.op === "place") place(r.moves);
  if (r.op === "bind") bind(r);
  if (r.op === "outputs") watchOutputs(r);
  next(r.op === "report" ? report() : {});
}
if (typeof QTimer !== "undefined") {
  var watch = new QTimer();
  watch.interval = 2000;
  watch.timeout.connect(function () {
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", bus.service, function (owned) { if (!owned) unload(); });
  });
  watch.start();
}
next(report());
)js";

}  // namespace

std::string agentScript(const ScriptBus& bus) {
  const nlohmann::json names = {{"service", bus.service},
                                {"path", bus.path},
                                {"interface", bus.interface},
                                {"plugin", bus.plugin},
                                {"token", bus.token}};
  return "var bus = " + names.dump() + ";\n" + kBody;
}

}  // namespace tessaloom::platform::kwin
