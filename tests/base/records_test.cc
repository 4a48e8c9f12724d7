#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/records.h"

namespace tessaloom {
namespace {

TEST(RawValues, ReadBackEveryCaseAndNothingElse) {
  for (LayoutKind kind : kAllLayoutKinds) EXPECT_EQ(layoutKindFromRaw(rawValue(kind)), kind);
  for (Kind kind : kAllKinds) EXPECT_EQ(kindFromRaw(rawValue(kind)), kind);
  for (DisplayMode mode : {DisplayMode::perDisplay, DisplayMode::mouseDisplay})
    EXPECT_EQ(displayModeFromRaw(rawValue(mode)), mode);
  // Raw values are exact: case, spaces, titles and embedded NULs name nothing.
  for (const char* text : {"Grid", "aisplit", "grid ", "", "自動タイルで整列", "sameSize\n"})
    EXPECT_EQ(layoutKindFromRaw(text), std::nullopt) << text;
  EXPECT_EQ(layoutKindFromRaw(std::string_view("grid\0", 5)), std::nullopt);
  for (const char* text : {"AI", "Browser", "ブラウザ", ""})
    EXPECT_EQ(kindFromRaw(text), std::nullopt) << text;
  for (const char* text : {"PerDisplay", "mouse", ""})
    EXPECT_EQ(displayModeFromRaw(text), std::nullopt) << text;
}

TEST(KindJson, RoundTripsAndRefusesAnythingButARawValue) {
  for (Kind kind : kAllKinds) {
    const nlohmann::json encoded = kind;
    EXPECT_EQ(encoded, nlohmann::json(std::string(rawValue(kind))));
    EXPECT_EQ(nlohmann::json::parse(encoded.dump()).get<Kind>(), kind);
  }
  for (const char* text : {R"("AI")", R"("")", "1", "null", "true", R"(["ai"])", R"({"k":"ai"})"})
    EXPECT_THROW(nlohmann::json::parse(text).get<Kind>(), nlohmann::json::exception) << text;
}

}  // namespace
}  // namespace tessaloom
