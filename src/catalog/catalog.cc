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

Kind defaultKind(std::string_view bundleID, std::string_view name) {
  if (text::containsAnyIgnoringCase(name, excludedNameKeywords)) return Kind::ignore;
  if (listed(browserBundleIDs, bundleID) || listed(linuxBrowserIDs, bundleID)) {
    return Kind::browser;
  }
  if (listed(aiBundleIDs, bundleID) || listed(linuxAIIDs, bundleID)) return Kind::ai;
  if (bundleID.starts_with(aiBundleIDPrefix)) return Kind::ai;
  if (text::containsAnyIgnoringCase(name, aiNameKeywords)) return Kind::ai;
  return Kind::ignore;
}

bool looksLikeAI(std::string_view title) {
  return text::containsAnyIgnoringCase(title, aiTitleKeywords);
}

}  // namespace tessaloom::Catalog
