#include "platform/services.h"

namespace tessaloom::platform {
namespace {
Services g_services;
}

Services& services() {
  return g_services;
}
void install(const Services& s) {
  g_services = s;
}

}  // namespace tessaloom::platform
