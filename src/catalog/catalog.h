// The built-in catalogue of browsers and AI applications and the rules that classify an
// application or a window title. Pure lookups; no settings, no desktop.
#pragma once

#include <string_view>

#include "base/records.h"

namespace tessaloom::Catalog {

/// The kind of an application by the catalogue alone (no user overrides).
Kind defaultKind(std::string_view appId, std::string_view name);
/// Whether two application identifiers name the same application (canonically equal texts).
/// The one identifier comparison of the program: restore, readiness and overrides use it.
bool sameApp(std::string_view a, std::string_view b);
/// Whether a window title names an AI service.
bool looksLikeAI(std::string_view title);

}  // namespace tessaloom::Catalog
