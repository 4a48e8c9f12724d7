// The stored form of window arrangements: a compact JSON array of records, read strictly.
#include "settings/saved_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace tessaloom {
namespace {

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(SavedFrames, WriterEmitsCompactRecordsInFieldOrder) {
  EXPECT_EQ(encodeSavedFrames({}), "[]");
  EXPECT_EQ(encodeSavedFrames({{"org.mozilla.firefox", "Home", 10, -20.5, 800, 600}}),
            R"([{"bundleID":"org.mozilla.firefox","title":"Home","x":10.0,"y":-20.5,)"
            R"("w":800.0,"h":600.0}])");
}

TEST(SavedFrames, RecordsSurviveAWriteAndARead) {
  const double max = std::numeric_limits<double>::max();
  const std::vector<SavedFrame> frames = {
      {"com.google.Chrome", "", 0, 0, 1, 1},
      {"jp", "日本語のタイトル — 🙂👍🏽", 1.5, 2.25, 3.125, 4.0625},
      {"quotes", "\"quoted\" \\back\\slash/ \t\n\r\b\f", -1, -2, 3, 4},
      {"control", std::string("nul\0inside\x01\x1f", 12), 0.1, 0.2, 0.3, 1.0 / 3},
      {"extremes", "big", 1e308, -1e308, max, 5e-324},
      {"zero", "signed", -0.0, 0.0, 2.2250738585072014e-308, 123456789012345678.0},
  };
  const auto json = encodeSavedFrames(frames);
  ASSERT_NE(json, std::nullopt);
  const auto read = decodeSavedFrames(*json);
  ASSERT_EQ(read, frames);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(sameBits(read[i].x, frames[i].x));
    EXPECT_TRUE(sameBits(read[i].y, frames[i].y));
    EXPECT_TRUE(sameBits(read[i].w, frames[i].w));
    EXPECT_TRUE(sameBits(read[i].h, frames[i].h));
  }
}

TEST(SavedFrames, NonFiniteNumberCannotBeWritten) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const SavedFrame good{"a", "t", 1, 2, 3, 4};
  for (const SavedFrame& bad :
       {SavedFrame{"a", "t", nan, 2, 3, 4}, SavedFrame{"a", "t", 1, -inf, 3, 4},
        SavedFrame{"a", "t", 1, 2, inf, 4}, SavedFrame{"a", "t", 1, 2, 3, nan}}) {
    EXPECT_EQ(encodeSavedFrames({good, bad, good}), std::nullopt);
  }
}

TEST(SavedFrames, TitleThatIsNotUtf8IsWrittenWithReplacementCharacters) {
  const auto json = encodeSavedFrames({{"app\xc3", "bad \xff\xfe title", 1, 2, 3, 4}});
  ASSERT_NE(json, std::nullopt);
  const auto read = decodeSavedFrames(*json);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].appId, "app\xEF\xBF\xBD");
  EXPECT_EQ(read[0].title, "bad \xEF\xBF\xBD\xEF\xBF\xBD title");
}

TEST(SavedFrames, ReaderAcceptsAnyNumberFormAndIgnoresExtraMembers) {
  const std::string deepExtra = std::string(100000, '[') + std::string(100000, ']');
  const struct {
    const char* name;
    std::string json;
    std::vector<SavedFrame> expected;
  } cases[] = {
      {"empty array", "[]", {}},
      {"integers",
       R"([{"bundleID":"a","title":"t","x":1,"y":-2,"w":3,"h":4}])",
       {{"a", "t", 1, -2, 3, 4}}},
      {"exponents",
       R"([{"bundleID":"a","title":"t","x":1e2,"y":-2.5E-1,"w":3E+0,"h":0.0}])",
       {{"a", "t", 100, -0.25, 3, 0}}},
      {"member order and white space",
       " [ { \"h\" : 4 , \"w\":3,\"y\":2,\"x\":1,\"title\":\"t\",\"bundleID\":\"a\" } ]\n",
       {{"a", "t", 1, 2, 3, 4}}},
      {"seventh member",
       R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":3,"h":4,"z":{"deep":[1,{"a":null}]}}])",
       {{"a", "t", 1, 2, 3, 4}}},
      {"deeply nested extra member",
       R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":3,"h":4,"z":)" + deepExtra + "}]",
       {{"a", "t", 1, 2, 3, 4}}},
      {"escaped text",
       R"([{"bundleID":"a","title":"\u65e5\ud83d\ude42\"","x":1,"y":2,"w":3,"h":4}])",
       {{"a", "日🙂\"", 1, 2, 3, 4}}},
      {"order kept",
       R"([{"bundleID":"b","title":"","x":0,"y":0,"w":1,"h":1},)"
       R"({"bundleID":"a","title":"","x":0,"y":0,"w":2,"h":2}])",
       {{"b", "", 0, 0, 1, 1}, {"a", "", 0, 0, 2, 2}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decodeSavedFrames(c.json), c.expected);
  }
}

TEST(SavedFrames, AnyFaultMakesTheWholeArrayUnreadable) {
  const std::string good = R"({"bundleID":"a","title":"t","x":1,"y":2,"w":3,"h":4})";
  const struct {
    const char* name;
    std::string json;
  } cases[] = {
      {"empty text", ""},
      {"not JSON", "saved layout"},
      {"object at the top", good},
      {"string at the top", "\"[]\""},
      {"element that is not an object", "[" + good + ",1]"},
      {"null element", "[" + good + ",null]"},
      {"missing title", "[" + good + R"(,{"bundleID":"a","x":1,"y":2,"w":3,"h":4},)" + good + "]"},
      {"missing h", R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":3}])"},
      {"digits as a string", R"([{"bundleID":"a","title":"t","x":"12","y":2,"w":3,"h":4}])"},
      {"title as a number", R"([{"bundleID":"a","title":5,"x":1,"y":2,"w":3,"h":4}])"},
      {"null bundle identifier", R"([{"bundleID":null,"title":"t","x":1,"y":2,"w":3,"h":4}])"},
      {"boolean width", R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":true,"h":4}])"},
      {"array height", R"([{"bundleID":"a","title":"t","x":1,"y":2,"w":3,"h":[4]}])"},
      {"number beyond double", R"([{"bundleID":"a","title":"t","x":1e400,"y":2,"w":3,"h":4}])"},
      {"NaN literal", R"([{"bundleID":"a","title":"t","x":NaN,"y":2,"w":3,"h":4}])"},
      {"trailing text", "[" + good + "] x"},
      {"cut short", "[" + good},
      {"invalid UTF-8", R"([{"bundleID":"a","title":"t)"
                        "\xff"
                        R"(","x":1,"y":2,"w":3,"h":4}])"},
      {"deeply nested arrays", std::string(100000, '[') + std::string(100000, ']')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decodeSavedFrames(c.json), std::vector<SavedFrame>{});
  }
}

}  // namespace
}  // namespace tessaloom
