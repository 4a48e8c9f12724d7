#include "platform/glib/glib_main_queue.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace tessaloom::platform {
namespace {

struct Task {
  std::function<void()> block;
  std::shared_ptr<bool> cancelled;
  bool repeats = false;
};

bool isCancelled(const Task& task) {
  return task.cancelled && *task.cancelled;
}

gboolean runTask(gpointer data) {
  Task& task = *static_cast<Task*>(data);
  if (isCancelled(task)) return G_SOURCE_REMOVE;
  task.block();
  return task.repeats && !isCancelled(task) ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
  delete static_cast<Task*>(data);
}

gboolean wakeUp(gpointer) {
  return G_SOURCE_REMOVE;
}

/// Whole milliseconds, rounded up, within what a timeout source takes.
guint milliseconds(double seconds) {
  if (!(seconds > 0)) return 0;
  const double ms = std::ceil(seconds * 1000.0);
  return ms >= static_cast<double>(G_MAXUINT) ? G_MAXUINT : static_cast<guint>(ms);
}

}  // namespace

GlibMainQueue::GlibMainQueue(GMainContext* context)
    : context_(g_main_context_ref(context ? context : g_main_context_default())) {}

GlibMainQueue::~GlibMainQueue() {
  for (GSource* source : sources_) {
    if (!g_source_is_destroyed(source)) g_source_destroy(source);
    g_source_unref(source);
  }
  g_main_context_unref(context_);
}

double GlibMainQueue::now() {
  return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

void GlibMainQueue::sleep(double seconds) {
  if (!(seconds > 0)) return;
  const double us = std::ceil(seconds * 1e6);
  g_usleep(us >= static_cast<double>(G_MAXULONG) ? G_MAXULONG : static_cast<gulong>(us));
}

void GlibMainQueue::attach(GSource* source) {
  // Finished sources are dropped here, so the list stays as long as the pending work.
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [](GSource* s) {
                                  if (!g_source_is_destroyed(s)) return false;
                                  g_source_unref(s);
                                  return true;
                                }),
                 sources_.end());
  // One priority for idle and timeout sources, so ready work runs in the order it was queued.
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_attach(source, context_);
  sources_.push_back(source);
}

void GlibMainQueue::async(std::function<void()> block) {
  GSource* source = g_idle_source_new();
  g_source_set_callback(source, runTask, new Task{std::move(block), nullptr, false}, deleteTask);
  attach(source);
}

WorkItem GlibMainQueue::asyncAfter(double delay, std::function<void()> block) {
  auto cancelled = std::make_shared<bool>(false);
  GSource* source = g_timeout_source_new(milliseconds(delay));
  g_source_set_callback(source, runTask, new Task{std::move(block), cancelled, false}, deleteTask);
  attach(source);
  return WorkItem(cancelled);
}

WorkItem GlibMainQueue::repeating(double interval, std::function<void()> block) {
  auto cancelled = std::make_shared<bool>(false);
  GSource* source = g_timeout_source_new(std::max<guint>(1, milliseconds(interval)));
  g_source_set_callback(source, runTask, new Task{std::move(block), cancelled, true}, deleteTask);
  attach(source);
  return WorkItem(cancelled);
}

void GlibMainQueue::runUntil(double deadline) {
  if (std::isnan(deadline)) return;
  for (;;) {
    const double remaining = deadline - now();
    if (!(remaining > 0)) break;
    // Without a source of its own the iteration could block past the deadline.
    GSource* wake = g_timeout_source_new(std::max<guint>(1, milliseconds(remaining)));
    g_source_set_callback(wake, wakeUp, nullptr, nullptr);
    g_source_attach(wake, context_);
    g_main_context_iteration(context_, TRUE);
    g_source_destroy(wake);
    g_source_unref(wake);
  }
  // One more look, so work that came due while the last block ran is not left for later.
  g_main_context_iteration(context_, FALSE);
}

}  // namespace tessaloom::platform
