#include "catalog/catalog.h"

#include <algorithm>

#include "catalog/catalog_lists.h"
#include "catalog/text.h"

namespace tessaloom::Catalog {
namespace {

// Identifiers are matched exactly, byte for byte, as the platform gives them.
template <typename List>
bool listed(const List& ids, std::string_view id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

Kind defaultKind(std::string_view appId, std::string_view name) {
  if (text::containsAnyIgnoringCase(name, excludedNameKeywords)) return Kind::ignore;
  if (listed(browserBundleIDs, appId) || listed(linuxBrowserIDs, appId)) {
    return Kind::browser;
  }
  if (listed(aiBundleIDs, appId) || listed(linuxAIIDs, appId)) return Kind::ai;
  if (appId.starts_with(aiBundleIDPrefix)) return Kind::ai;
  if (text::containsAnyIgnoringCase(name, aiNameKeywords)) return Kind::ai;
  return Kind::ignore;
}

bool sameApp(std::string_view a, std::string_view b) {
  return text::equal(a, b);
}

bool looksLikeAI(std::string_view title) {
  return text::containsAnyIgnoringCase(title, aiTitleKeywords);
}

}  // namespace tessaloom::Catalog
