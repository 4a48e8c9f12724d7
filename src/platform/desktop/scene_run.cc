#include "platform/desktop/backend_run.h"
#include "platform/sim/sim_desktop.h"

namespace tessaloom::platform {
namespace {

class SceneRun final : public BackendRun {
 public:
  explicit SceneRun(std::string path) : path_(std::move(path)) {}
  // The scene plays on this run's queue, so it is loaded once the run exists.
  Outcome open() {
    auto scene = SimDesktop::loadFile(path_, queue_);
    if (!scene) return Failure{scene.error()};
    scene_ = std::move(*scene);
    return {};
  }
  WindowSystem& windows() override { return *scene_; }
  // A run that moved and launched nothing leaves the file as it was, byte for byte.
  Outcome finish() override { return scene_->changed() ? scene_->saveFile(path_) : Outcome(); }

 private:
  std::string path_;
  std::unique_ptr<SimDesktop> scene_;
};

}  // namespace

OpenedRun openSceneRun(const std::string& path) {
  auto run = std::make_unique<SceneRun>(path);
  if (auto opened = run->open(); !opened) return Failure{opened.error()};
  return std::unique_ptr<BackendRun>(std::move(run));
}

}  // namespace tessaloom::platform
