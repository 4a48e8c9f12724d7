#include "platform/desktop/desktop.h"

namespace tessaloom::platform {

std::unique_ptr<Desktop> openDesktop(std::string& error) {
  error = "デスクトップに接続できません: TESSALOOM_SCENE にシーンファイルを指定してください";
  return nullptr;
}

}  // namespace tessaloom::platform
