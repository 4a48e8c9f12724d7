#include "platform/gtk/gtk_overlay.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/gtk/gtk_symbols.h"

namespace tessaloom::platform::gtk {
namespace {

constexpr GdkRGBA kAccent{0.208, 0.518, 0.894, 1.0};  // the desktop's blue accent
constexpr double kPlateShade = 0.13;                  // the dark plate's grey level
constexpr double kPlateAlpha = 0.90;                  // its own translucency when composited

void roundedRectangle(cairo_t* cr, double w, double h, double r) {
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, w - r, r, r, -M_PI / 2, 0);
  cairo_arc(cr, w - r, h - r, r, 0, M_PI / 2);
  cairo_arc(cr, r, h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, r, r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

class GtkPlatePanel final : public OverlayPanel {
 public:
  GtkPlatePanel(GtkPlateOverlay& overlay, const OverlayContent& content)
      : overlay_(overlay), content_(content) {
    window_ = overlay_.makeWindow();
    g_object_ref_sink(window_);
    GdkScreen* screen = gtk_widget_get_screen(window_);
    composited_ = gdk_screen_is_composited(screen);
    if (composited_)
      if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen))
        gtk_widget_set_visual(window_, rgba);
    gtk_window_set_title(GTK_WINDOW(window_), GtkPlateOverlay::kTitle);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_NOTIFICATION);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), TRUE);
    gtk_window_set_accept_focus(GTK_WINDOW(window_), FALSE);
    gtk_window_set_focus_on_map(GTK_WINDOW(window_), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_widget_set_app_paintable(window_, TRUE);
    layOut();
    gtk_window_set_default_size(GTK_WINDOW(window_), width_, height_);
    gtk_widget_set_size_request(window_, width_, height_);
    g_signal_connect(window_, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer self) {
                       static_cast<GtkPlatePanel*>(self)->draw(cr);
                       return TRUE;
                     }),
                     this);
    gtk_widget_realize(window_);
    // An empty input shape: pointer events go to whatever lies below.
    cairo_region_t* none = cairo_region_create();
    gtk_widget_input_shape_combine_region(window_, none);
    cairo_region_destroy(none);
    if (!composited_) shapeCorners();
  }

  ~GtkPlatePanel() override {
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    if (layout_) g_object_unref(layout_);
    if (symbol_) g_object_unref(symbol_);
  }

  Size size() const override { return {static_cast<double>(width_), static_cast<double>(height_)}; }

  void setFrameOrigin(Point origin) override { overlay_.placeWindow(window_, origin); }

  void setAlpha(double alpha) override {
    alpha_ = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 0.0;
    if (composited_) gtk_widget_set_opacity(window_, alpha_);
    update();
  }

  void orderFront() override {
    front_ = true;
    update();
  }

  void orderOut() override {
    front_ = false;
    update();
  }

 private:
  // Without a compositor there is no translucency: the plate shows while its alpha is above
  // zero, so it appears at the start of the fade-in and goes at the end of the fade-out.
  void update() {
    const bool visible = front_ && (composited_ || alpha_ > 0);
    if (visible == gtk_widget_get_visible(window_)) return;
    if (visible) {
      gtk_widget_show(window_);
      if (GdkWindow* w = gtk_widget_get_window(window_)) gdk_window_raise(w);
    } else {
      gtk_widget_hide(window_);
    }
  }

  void layOut() {
    const auto& style = content_.style;
    PangoContext* context = gtk_widget_get_pango_context(window_);
    layout_ = pango_layout_new(context);
    gchar* fontName = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-font-name", &fontName, nullptr);
    PangoFontDescription* font = pango_font_description_from_string(fontName ? fontName : "Sans");
    g_free(fontName);
    pango_font_description_set_weight(font, PANGO_WEIGHT_SEMIBOLD);
    pango_font_description_set_absolute_size(font, std::max(1.0, style.fontSize) * PANGO_SCALE);
    pango_layout_set_font_description(layout_, font);
    pango_font_description_free(font);
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
    pango_layout_set_text(layout_, content_.text.c_str(), -1);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout_, &ink, &logical);
    textWidth_ = logical.width;
    textHeight_ = logical.height;

    symbolSize_ = static_cast<int>(std::ceil(std::max(0.0, style.symbolPointSize)));
    if (const auto name = xdg::themeIconForSymbol(content_.symbol)) {
      const std::string icon(*name);
      GtkIconInfo* info = gtk_icon_theme_lookup_icon(gtk_icon_theme_get_default(), icon.c_str(),
                                                     symbolSize_, GTK_ICON_LOOKUP_FORCE_SIZE);
      if (info) {
        symbol_ = gtk_icon_info_load_symbolic(info, &kAccent, nullptr, nullptr, nullptr, nullptr,
                                              nullptr);
        g_object_unref(info);
      }
    }
    const double w = style.insetLeft + symbolSize_ + style.spacing + textWidth_ + style.insetRight;
    const double h = style.insetTop + std::max(symbolSize_, textHeight_) + style.insetBottom;
    width_ = std::max(1, static_cast<int>(std::ceil(w)));
    height_ = std::max(1, static_cast<int>(std::ceil(h)));
  }

  // Clips the window to the rounded plate where no compositor can blend its corners.
  void shapeCorners() {
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width_, height_);
    cairo_t* cr = cairo_create(mask);
    roundedRectangle(cr, width_, height_, content_.style.cornerRadius);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
    gtk_widget_shape_combine_region(window_, region);
    cairo_region_destroy(region);
    cairo_surface_destroy(mask);
  }

  void draw(cairo_t* cr) {
    const auto& style = content_.style;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    roundedRectangle(cr, width_, height_, style.cornerRadius);
    cairo_set_source_rgba(cr, kPlateShade, kPlateShade, kPlateShade,
                          composited_ ? kPlateAlpha : 1.0);
    cairo_fill(cr);
    const double content = height_ - style.insetTop - style.insetBottom;
    if (symbol_) {
      const double y = style.insetTop + (content - gdk_pixbuf_get_height(symbol_)) / 2;
      gdk_cairo_set_source_pixbuf(cr, symbol_, style.insetLeft, std::round(y));
      cairo_paint(cr);
    }
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_move_to(cr, style.insetLeft + symbolSize_ + style.spacing,
                  std::round(style.insetTop + (content - textHeight_) / 2));
    pango_cairo_show_layout(cr, layout_);
  }

  GtkPlateOverlay& overlay_;
  OverlayContent content_;
  GtkWidget* window_ = nullptr;
  PangoLayout* layout_ = nullptr;
  GdkPixbuf* symbol_ = nullptr;
  bool composited_ = false;
  bool front_ = false;
  double alpha_ = 1;
  int symbolSize_ = 0;
  int textWidth_ = 0;
  int textHeight_ = 0;
  int width_ = 1;
  int height_ = 1;
};

}  // namespace

std::unique_ptr<OverlayPanel> GtkPlateOverlay::makePanel(const OverlayContent& content) {
  return std::make_unique<GtkPlatePanel>(*this, content);
}

GtkWidget* GtkPlateOverlay::makeWindow() {
  return gtk_window_new(GTK_WINDOW_POPUP);
}

void GtkPlateOverlay::placeWindow(GtkWidget* window, Point origin) {
  // The global space starts at the primary screen's top left; X's at the root's.
  GdkDisplay* display = gtk_widget_get_display(window);
  GdkMonitor* primary = gdk_display_get_primary_monitor(display);
  if (!primary) primary = gdk_display_get_monitor(display, 0);
  GdkRectangle p{0, 0, 0, 0};
  if (primary) gdk_monitor_get_geometry(primary, &p);
  const double x = p.x + origin.x;
  const double y = p.y + origin.y;
  gtk_window_move(GTK_WINDOW(window), static_cast<int>(std::lround(x)),
                  static_cast<int>(std::lround(y)));
}

}  // namespace tessaloom::platform::gtk
