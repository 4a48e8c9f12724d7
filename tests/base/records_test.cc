#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/records.h"

namespace tessaloom {
namespace {

TEST(LayoutKindText, EveryCaseHasItsRawValueTitleAndSymbol) {
  struct Row {
    LayoutKind kind;
    const char* raw;
    const char* title;
    const char* symbol;
  };
  const Row rows[] = {
      {LayoutKind::grid, "grid", "自動タイルで整列", "square.grid.2x2"},
      {LayoutKind::columns, "columns", "横一列に並べる", "rectangle.split.3x1"},
      {LayoutKind::aiSplit, "aiSplit", "ブラウザ左＋AI右に分ける",
       "rectangle.lefthalf.inset.filled"},
      {LayoutKind::cascade, "cascade", "同じサイズで重ねる", "square.stack"},
      {LayoutKind::sameSize, "sameSize", "サイズだけ揃える（位置はそのまま）",
       "arrow.up.left.and.arrow.down.right"},
  };
  ASSERT_EQ(std::size(rows), kAllLayoutKinds.size());
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    EXPECT_EQ(kAllLayoutKinds[i], r.kind) << "the cases in menu order";
    EXPECT_EQ(rawValue(r.kind), r.raw);
    EXPECT_EQ(title(r.kind), r.title);
    EXPECT_EQ(symbol(r.kind), r.symbol);
    EXPECT_EQ(layoutKindFromRaw(r.raw), r.kind);
  }
}

TEST(LayoutKindText, OnlyExactRawValuesAreAccepted) {
  for (const char* text : {"Grid", "GRID", "aisplit", "AISplit", "grid ", " grid", "", "same_size",
                           "自動タイルで整列", "sameSize\n"})
    EXPECT_EQ(layoutKindFromRaw(text), std::nullopt) << text;
  EXPECT_EQ(layoutKindFromRaw(std::string_view("grid\0", 5)), std::nullopt);
}

TEST(KindText, EveryCaseHasItsRawValueAndLabel) {
  struct Row {
    Kind kind;
    const char* raw;
    const char* label;
  };
  const Row rows[] = {{Kind::browser, "browser", "ブラウザ"},
                      {Kind::ai, "ai", "AI"},
                      {Kind::ignore, "ignore", "対象外"}};
  ASSERT_EQ(std::size(rows), kAllKinds.size());
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(kAllKinds[i], rows[i].kind);
    EXPECT_EQ(rawValue(rows[i].kind), rows[i].raw);
    EXPECT_EQ(label(rows[i].kind), rows[i].label);
    EXPECT_EQ(kindFromRaw(rows[i].raw), rows[i].kind);
  }
  for (const char* text : {"AI", "Browser", "IGNORE", "ブラウザ", ""})
    EXPECT_EQ(kindFromRaw(text), std::nullopt) << text;
}

TEST(KindJson, RoundTripsThroughItsRawValue) {
  for (Kind kind : kAllKinds) {
    const nlohmann::json encoded = kind;
    EXPECT_EQ(encoded, nlohmann::json(std::string(rawValue(kind))));
    EXPECT_EQ(encoded.get<Kind>(), kind);
    EXPECT_EQ(nlohmann::json::parse(encoded.dump()).get<Kind>(), kind);
  }
}

TEST(KindJson, DecodingAnythingButARawValueFails) {
  const char* documents[] = {R"("AI")", R"("Ai")", R"("")",     R"("対象外")",     "1",
                             "null",    "true",    R"(["ai"])", R"({"kind":"ai"})"};
  for (const char* text : documents) {
    const nlohmann::json j = nlohmann::json::parse(text);
    EXPECT_THROW(j.get<Kind>(), nlohmann::json::exception) << text;
  }
}

TEST(DisplayModeText, OnlyExactRawValuesAreAccepted) {
  EXPECT_EQ(rawValue(DisplayMode::perDisplay), "perDisplay");
  EXPECT_EQ(rawValue(DisplayMode::mouseDisplay), "mouseDisplay");
  EXPECT_EQ(displayModeFromRaw("perDisplay"), DisplayMode::perDisplay);
  EXPECT_EQ(displayModeFromRaw("mouseDisplay"), DisplayMode::mouseDisplay);
  for (const char* text : {"PerDisplay", "mousedisplay", "mouse", ""})
    EXPECT_EQ(displayModeFromRaw(text), std::nullopt) << text;
}

// Counts the live elements so a test can see when the last handle lets go.
class CountedElement : public platform::Element {
 public:
  explicit CountedElement(int& live) : live_(live) { ++live_; }
  ~CountedElement() override { --live_; }

 private:
  int& live_;
};

TEST(ManagedWindowRecord, DestroyingACopyLeavesTheOriginalsElement) {
  int live = 0;
  {
    ManagedWindow original(std::make_shared<CountedElement>(live), 42, "org.example.web", "Web",
                           "Start", Rect(1, 2, 3, 4), Kind::browser);
    {
      ManagedWindow copy = original;
      EXPECT_EQ(copy.element(), original.element());
      EXPECT_EQ(original.element().use_count(), 2);
    }
    EXPECT_EQ(live, 1);
    ASSERT_NE(original.element(), nullptr);
    EXPECT_EQ(original.element().use_count(), 1);
    EXPECT_NE(dynamic_cast<CountedElement*>(original.element().get()), nullptr);
  }
  EXPECT_EQ(live, 0) << "the last record releases the element";
}

TEST(ManagedWindowRecord, KeepsItsFieldsAndTakesANewFrame) {
  ManagedWindow w(nullptr, -7, "org.example.chat", "Chat", "", Rect(10, 20, 30, 40), Kind::ai);
  EXPECT_EQ(w.pid(), -7);
  EXPECT_EQ(w.bundleID(), "org.example.chat");
  EXPECT_EQ(w.appName(), "Chat");
  EXPECT_EQ(w.title(), "");
  EXPECT_EQ(w.kind(), Kind::ai);
  w.setFrame(Rect(-5, -6, 70, 80));
  EXPECT_EQ(w.frame(), Rect(-5, -6, 70, 80));
}

}  // namespace
}  // namespace tessaloom
