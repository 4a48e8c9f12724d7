// Writing a scene back: only window frames change and launched applications move from
// "installed" to "apps"; files round-trip and failures leave files alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/virtual_main_queue.h"
#include "support/temp_dir.h"

namespace tessaloom::platform {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;
using tessaloom::testing::TempDir;

constexpr const char* kScene = R"({
  "screens": [{"name": "Built-in", "frame": [0, 0, 1440, 900], "visible": [0, 0, 1440, 875]}],
  "trusted": true,
  "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome",
            "windows": [{"title": "Docs", "frame": [100, 80.0, 900, 700], "minSize": [10, 10]},
                        {"title": "Mail", "frame": [0, 0, 640, 480], "subrole": null}]},
           {"pid": 5, "hidden": true, "windows": [{"frame": [1, 2, 3, 4]}]}],
  "installed": [{"bundleID": "com.openai.chat", "name": "ChatGPT", "launchDelay": 0.5,
                 "windows": [{"title": "ChatGPT", "frame": [0, 25, 800, 600]}]},
                {"bundleID": "com.anthropic.claude", "launchDelay": 30,
                 "windows": [{"frame": [0, 25, 800, 600]}]}],
  "mouse": [720, 450]
})";

class SceneWriteBackTest : public ::testing::Test {
 protected:
  SimDesktop& load(const std::string& text = kScene) {
    auto desktop = SimDesktop::fromJson(text, clock_);
    if (!desktop) ADD_FAILURE() << desktop.error();
    desktop_ = std::move(*desktop);
    return *desktop_;
  }

  void move(std::int32_t pid, std::size_t index, Rect frame) {
    const Placement p{desktop_->windowHandle(pid, index), frame};
    desktop_->place({&p, 1});
  }

  VirtualMainQueue clock_;
  std::unique_ptr<SimDesktop> desktop_;
};

TEST_F(SceneWriteBackTest, AnUntouchedSceneComesBackAsItWas) {
  const SimDesktop& d = load();
  EXPECT_FALSE(d.changed());
  EXPECT_EQ(Json::parse(d.toJson()), Json::parse(kScene, nullptr, true, true));
  // Member order is kept, and numbers keep their form.
  EXPECT_LT(d.toJson().find("\"screens\""), d.toJson().find("\"trusted\""));
  EXPECT_THAT(d.toJson(), HasSubstr("80.0"));
}

TEST_F(SceneWriteBackTest, OnlyMovedFramesChange) {
  load();
  move(101, 0, {100, 80, 900, 700});  // where it was: left as written
  EXPECT_FALSE(desktop_->changed());
  move(101, 1, {-300.5, 40, 700, 500});
  EXPECT_TRUE(desktop_->changed());
  Json expected = Json::parse(kScene, nullptr, true, true);
  expected["apps"][0]["windows"][1]["frame"] = Json::parse("[-300.5, 40, 700, 500]");
  const std::string text = desktop_->toJson();
  EXPECT_EQ(Json::parse(text), expected);
  EXPECT_THAT(text, HasSubstr("80.0"));
}

TEST_F(SceneWriteBackTest, ALaunchedApplicationMovesFromInstalledToApps) {
  SimDesktop& d = load();
  d.launch("com.openai.chat");
  d.launch("com.anthropic.claude");  // still launching at the end
  clock_.sleep(0.5);
  move(102, 0, {720, 25, 720, 875});

  const Json written = Json::parse(d.toJson());
  ASSERT_EQ(written["apps"].size(), 3u);
  EXPECT_EQ(written["apps"][2], Json::parse(R"({"pid": 102, "bundleID": "com.openai.chat",
      "name": "ChatGPT", "windows": [{"title": "ChatGPT", "frame": [720, 25, 720, 875]}]})"));
  EXPECT_EQ(written["apps"][2].begin().key(), "pid");
  // The rest is as it was.
  Json rest = written;
  Json original = Json::parse(kScene, nullptr, true, true);
  rest["apps"].erase(2);
  original["installed"].erase(0);
  EXPECT_EQ(rest, original);
}

TEST_F(SceneWriteBackTest, ALaunchThatCameDueCountsEvenIfNobodyLooked) {
  SimDesktop& d = load(R"({"installed": [{"bundleID": "a", "launchDelay": 1}]})");
  d.launch("a");
  EXPECT_FALSE(d.changed());
  clock_.sleep(1);
  EXPECT_EQ(Json::parse(d.toJson()),
            Json::parse(R"({"installed": [], "apps": [{"pid": 2, "bundleID": "a"}]})"));
}

TEST_F(SceneWriteBackTest, TheWrittenSceneReadsBackToTheSameDesktop) {
  SimDesktop& d = load();
  d.launch("com.openai.chat");
  clock_.sleep(1);
  move(101, 0, {10.25, 20, 333.5, 444});
  move(102, 0, {1, 2, 300, 400});

  VirtualMainQueue clock2;
  auto reloaded = SimDesktop::fromJson(d.toJson(), clock2);
  ASSERT_TRUE(reloaded) << reloaded.error();
  EXPECT_EQ((*reloaded)->windowFrame(101, 0), Rect(10.25, 20, 333.5, 444));
  EXPECT_EQ((*reloaded)->windowFrame(102, 0), Rect(1, 2, 300, 400));
  EXPECT_FALSE((*reloaded)->launch("com.openai.chat"));  // no longer installed
  EXPECT_EQ((*reloaded)->toJson(), d.toJson());
}

TEST_F(SceneWriteBackTest, AQuitLaunchedApplicationStaysInstalled) {
  SimDesktop& d = load();
  d.launch("com.openai.chat");
  clock_.sleep(1);
  ASSERT_TRUE(d.quitApplication(102));
  EXPECT_FALSE(d.changed());
}

TEST_F(SceneWriteBackTest, SavesAndLoadsFiles) {
  TempDir dir;
  const std::string path = dir.file("scene.json");
  dir.write("scene.json", kScene);
  auto d = SimDesktop::loadFile(path, clock_);
  ASSERT_TRUE(d) << d.error();
  const Placement p{(*d)->windowHandle(5, 0), {50, 60, 3, 4}};
  (*d)->place({&p, 1});
  const Outcome saved = (*d)->saveFile(path);
  ASSERT_TRUE(saved) << saved.error();
  EXPECT_EQ(dir.read("scene.json"), (*d)->toJson());

  auto again = SimDesktop::loadFile(path, clock_);
  ASSERT_TRUE(again) << again.error();
  EXPECT_EQ((*again)->windowFrame(5, 0), Rect(50, 60, 3, 4));
}

TEST_F(SceneWriteBackTest, FileErrorsNameTheFile) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const std::string missing = dir.file("none.json");
  EXPECT_EQ(SimDesktop::loadFile(missing, clock_).error(),
            missing + ": cannot be read (No such file or directory)");
  EXPECT_EQ(SimDesktop::loadFile(folder, clock_).error(),
            folder + ": cannot be read (Is a directory)");
  const std::string bad = dir.file("scene.json");
  dir.write("scene.json", R"({"apps": [{"pid": 1, "windows": [{"frame": [0, 0]}]}]})");
  EXPECT_EQ(SimDesktop::loadFile(bad, clock_).error(),
            bad + R"(: "apps"[0]."windows"[0]."frame" must be an array of 4 numbers)");

  // A failed save keeps the file that was there.
  SimDesktop& d = load();
  const std::string before = dir.read("scene.json");
  EXPECT_THAT(d.saveFile(dir.file("no/such/dir/scene.json")).error(),
              HasSubstr("/no/such/dir/scene.json: cannot be written ("));
  EXPECT_FALSE(d.saveFile(folder));  // a directory cannot be replaced by a file
  EXPECT_EQ(dir.read("scene.json"), before);
}

TEST_F(SceneWriteBackTest, ReadsOnlyRegularFilesOfBoundedSize) {
  TempDir dir;
  const std::string fifo = dir.file("fifo.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The error line only: a desktop in a future trips a false warning of gcc 12.
  auto loading =
      std::async(std::launch::async, [&] { return SimDesktop::loadFile(fifo, clock_).error(); });
  if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "loading a FIFO waits for a writer";
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets the reader see the end
  }
  EXPECT_EQ(loading.get(), fifo + ": cannot be read (not a regular file)");
  EXPECT_EQ(SimDesktop::loadFile("/dev/null", clock_).error(),
            "/dev/null: cannot be read (not a regular file)");

  const std::string big = dir.file("big.json");
  dir.write("big.json", "");
  std::filesystem::resize_file(big, SimDesktop::kMaxSceneBytes + 1);
  EXPECT_EQ(SimDesktop::loadFile(big, clock_).error(),
            big + ": cannot be read (larger than 16 MiB)");
}

}  // namespace
}  // namespace tessaloom::platform
