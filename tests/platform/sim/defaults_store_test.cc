// Typed reads of the defaults store: the conversions every store shares.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/sim/memory_defaults.h"

namespace tessaloom::platform {
namespace {

using Dictionary = DefaultsValue::Dictionary;

struct TypedReadCase {
  const char* name;
  std::optional<DefaultsValue> stored;
  double asDouble;
  bool asBool;
  std::optional<std::string> asString;
};

const TypedReadCase kTypedReads[] = {
    {"absent", std::nullopt, 0, false, std::nullopt},
    {"number", 12.5, 12.5, true, "12.5"},
    {"zero", 0.0, 0, false, "0"},
    {"negative", -2.5, -2.5, true, "-2.5"},
    {"whole number in shortest text", 8.0, 8, true, "8"},
    {"fraction in shortest text", 0.4, 0.4, true, "0.4"},
    {"huge number", 1e21, 1e21, true, "1e+21"},
    {"true", true, 1, true, std::nullopt},
    {"false", false, 0, false, std::nullopt},
    {"numeric string", "12.5", 12.5, false, "12.5"},
    {"numeric string with white space", " \t12.5 \n", 12.5, false, " \t12.5 \n"},
    {"negative numeric string", "-3", -3, false, "-3"},
    {"plus sign", "+4", 4, false, "+4"},
    {"exponent", "1e3", 1000, false, "1e3"},
    {"number then text", "12.5px", 0, false, "12.5px"},
    {"text", "abc", 0, false, "abc"},
    {"empty string", "", 0, false, ""},
    {"only white space", "   ", 0, false, "   "},
    {"two signs", "+-1", 0, false, "+-1"},
    {"hexadecimal", "0x10", 0, false, "0x10"},
    {"infinity text", "inf", 0, false, "inf"},
    {"nan text", "nan", 0, false, "nan"},
    {"beyond the double range", "1e400", 0, false, "1e400"},
    {"one", "1", 1, true, "1"},
    {"zero string", "0", 0, false, "0"},
    {"two is not boolean-like", "2", 2, false, "2"},
    {"lower-case true", "true", 0, true, "true"},
    {"upper-case TRUE", "TRUE", 0, true, "TRUE"},
    {"mixed-case Yes", "Yes", 0, true, "Yes"},
    {"yes with white space", " yes ", 0, true, " yes "},
    {"no", "NO", 0, false, "NO"},
    {"mixed-case FaLsE", "FaLsE", 0, false, "FaLsE"},
    {"y alone", "y", 0, false, "y"},
    {"dictionary", Dictionary{{"a", 1}}, 0, false, std::nullopt},
    {"array", DefaultsValue::Array{1, 2}, 0, false, std::nullopt},
    {"data", Data{{'1', '2'}}, 0, false, std::nullopt},
};

TEST(DefaultsStoreTypedReads, ConvertEveryKindOfValue) {
  for (const auto& c : kTypedReads) {
    SCOPED_TRACE(c.name);
    MemoryDefaults store;
    if (c.stored) store.setObject("k", *c.stored);
    EXPECT_EQ(store.doubleForKey("k"), c.asDouble);
    EXPECT_EQ(store.boolForKey("k"), c.asBool);
    EXPECT_EQ(store.stringForKey("k"), c.asString);
  }
}

TEST(DefaultsStoreTypedReads, DictionaryAndDataOnlyFromTheirOwnKind) {
  const Dictionary dictionary{{"a", "b"}, {"n", 2}};
  const Data data{{0, 1, 255}};
  MemoryDefaults store(Dictionary{{"dictionary", dictionary},
                                  {"data", data},
                                  {"text", "abc"},
                                  {"array", DefaultsValue::Array{0, 1, 255}}});
  EXPECT_EQ(store.dictionaryForKey("dictionary"), dictionary);
  EXPECT_EQ(store.dataForKey("data"), data);
  for (const char* key : {"data", "text", "array", "absent"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(store.dictionaryForKey(key), std::nullopt);
  }
  for (const char* key : {"dictionary", "text", "array", "absent"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(store.dataForKey(key), std::nullopt);
  }
}

TEST(MemoryDefaults, CountsWritesAndIgnoresThemWhileReadOnly) {
  MemoryDefaults store;
  store.setObject("a", 1);
  store.setReadOnly(true);
  store.setObject("a", 2);
  store.removeObject("a");
  EXPECT_EQ(store.writeCount(), 3u);
  EXPECT_EQ(store.values(), (Dictionary{{"a", 1}}));
  store.setReadOnly(false);
  store.removeObject("a");
  EXPECT_EQ(store.object("a"), std::nullopt);
}

}  // namespace
}  // namespace tessaloom::platform
