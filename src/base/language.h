// The user's language: the message catalogue chosen from LANGUAGE, LC_ALL, LC_MESSAGES and LANG
// by gettext's rules, and the program's texts looked up in it through gettext. The Japanese texts
// are the source: under C, POSIX and Japanese nothing is translated, and a language without a
// catalogue gets the English one. Works where the user's locale is not generated, and programs
// the user starts through us get the user's own LANGUAGE.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// Marks a text for the catalogue where it is translated later (in a table).
#define N_(text) text

namespace tessaloom::language {

/// The language names to try, best first, for the environment `get` reads: LANGUAGE's list
/// unless the locale (LC_ALL, else LC_MESSAGES, else LANG) is unset, "C" or "POSIX"; else the
/// locale. Empty when the source texts are wanted.
std::vector<std::string> preferences(const std::function<const char*(const char*)>& get);

/// Chooses the catalogue again from the process environment, in TESSALOOM_LOCALEDIR when it is
/// set, else in share/locale of the program's prefix. Nothing chosen: the source texts. The
/// texts tr() and trn() gave before stay valid only until then.
void choose();

/// `text` in the user's language; `text` itself when the catalogue lacks it. Chooses the
/// catalogue on first use.
const char* tr(const char* text) __attribute__((format_arg(1)));
/// The form of `one` (the source text, which has one form) for the count `n`.
const char* trn(const char* one, const char* many, unsigned long n)
    __attribute__((format_arg(1), format_arg(2)));

/// LANGUAGE as the user set it (nothing when unset): what programs we start inherit, since
/// gettext reads the languages we chose from that variable.
std::optional<std::string> inheritedLanguage();

/// A printf pattern filled in, as a string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tessaloom::language
