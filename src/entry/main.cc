// Process entry: chooses command-line or tray mode from the arguments and runs it.
#include <iostream>
#include <string>

#include "entry/cli.h"
#include "platform/desktop/desktop.h"

int main(int argc, char** argv) {
  using namespace tessaloom;
  const auto args = entry::filterArguments(argc, argv);
  if (!entry::isCommandLineMode(args)) {
    std::cout << "トレイアプリケーションはこのビルドに含まれていません。"
                 "コマンドラインで --list などを指定してください\n";
    return 1;
  }
  std::string error;
  auto desktop = platform::openDesktop(error);
  if (!desktop) {
    std::cout << error << "\n";
    return 2;
  }
  int status = entry::runCLI(args, std::cout);
  if (!desktop->finish(error)) {
    std::cout << error << "\n";
    status = 2;
  }
  std::cout.flush();
  return status;
}
