// Changes of KWin's outputs, as our KWin script reports them: it calls this program back over
// the session bus at each one, on an object that answers KWin's own connection alone.
#pragma once

#include <functional>
#include <memory>

#include "base/result.h"
#include "platform/kwin/kwin_callbacks.h"

namespace tessaloom::platform::kwin {

class Agent;

class OutputWatch {
 public:
  /// The interface the script calls Changed() of, at the agent's object path.
  static constexpr const char* kInterface = "org.tessaloom.KWinOutputs";

  /// Calls `changed` on the main loop at each change the script reports, from now until this
  /// object goes. Fails without a session bus, or when the script does not take the request.
  static Result<std::unique_ptr<OutputWatch>> start(Agent& agent, std::function<void()> changed);
  /// Tells the script to stop calling.
  ~OutputWatch();
  OutputWatch(const OutputWatch&) = delete;
  OutputWatch& operator=(const OutputWatch&) = delete;

 private:
  explicit OutputWatch(Agent& agent) : agent_(agent) {}

  Agent& agent_;
  std::unique_ptr<Callbacks> callbacks_;
};

}  // namespace tessaloom::platform::kwin
