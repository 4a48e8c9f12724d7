#include "base/records.h"

#include <nlohmann/json.hpp>

#include "base/language.h"

namespace tessaloom {
namespace {

struct LayoutText {
  LayoutKind kind;
  std::string_view raw, title, symbol;
};
constexpr LayoutText kLayoutTexts[] = {
    {LayoutKind::grid, "grid", N_("自動タイルで整列"), "square.grid.2x2"},
    {LayoutKind::columns, "columns", N_("横一列に並べる"), "rectangle.split.3x1"},
    {LayoutKind::aiSplit, "aiSplit", N_("ブラウザ左＋AI右に分ける"),
     "rectangle.lefthalf.inset.filled"},
    {LayoutKind::cascade, "cascade", N_("同じサイズで重ねる"), "square.stack"},
    {LayoutKind::sameSize, "sameSize", N_("サイズだけ揃える（位置はそのまま）"),
     "arrow.up.left.and.arrow.down.right"},
};

struct KindText {
  Kind kind;
  std::string_view raw, label;
};
constexpr KindText kKindTexts[] = {
    {Kind::browser, "browser", N_("ブラウザ")},
    {Kind::ai, "ai", N_("AI")},
    {Kind::ignore, "ignore", N_("対象外")},
};

const LayoutText& textOf(LayoutKind kind) {
  return kLayoutTexts[static_cast<int>(kind)];
}
const KindText& textOf(Kind kind) {
  return kKindTexts[static_cast<int>(kind)];
}

}  // namespace

std::string_view rawValue(LayoutKind kind) {
  return textOf(kind).raw;
}
std::string_view title(LayoutKind kind) {
  return language::tr(textOf(kind).title.data());
}
std::string_view symbol(LayoutKind kind) {
  return textOf(kind).symbol;
}
std::optional<LayoutKind> layoutKindFromRaw(std::string_view raw) {
  for (const auto& t : kLayoutTexts)
    if (t.raw == raw) return t.kind;
  return std::nullopt;
}

std::string_view rawValue(Kind kind) {
  return textOf(kind).raw;
}
std::string_view label(Kind kind) {
  return language::tr(textOf(kind).label.data());
}
std::optional<Kind> kindFromRaw(std::string_view raw) {
  for (const auto& t : kKindTexts)
    if (t.raw == raw) return t.kind;
  return std::nullopt;
}

void to_json(nlohmann::json& j, Kind kind) {
  j = std::string(rawValue(kind));
}
void from_json(const nlohmann::json& j, Kind& kind) {
  if (!j.is_string()) throw nlohmann::json::type_error::create(302, "kind must be a string", &j);
  auto parsed = kindFromRaw(j.get_ref<const std::string&>());
  if (!parsed) throw nlohmann::json::other_error::create(501, "unknown kind", &j);
  kind = *parsed;
}

std::string_view rawValue(DisplayMode mode) {
  return mode == DisplayMode::mouseDisplay ? "mouseDisplay" : "perDisplay";
}
std::optional<DisplayMode> displayModeFromRaw(std::string_view raw) {
  if (raw == "perDisplay") return DisplayMode::perDisplay;
  if (raw == "mouseDisplay") return DisplayMode::mouseDisplay;
  return std::nullopt;
}

}  // namespace tessaloom
