// The user's language: the message catalogue chosen from LANGUAGE, LC_ALL, LC_MESSAGES and LANG
// by gettext's rules, and the program's texts looked up in it. The Japanese texts are the source:
// under C, POSIX and Japanese nothing is translated, and a language without a catalogue gets the
// English one. Chosen inside the process, so it works where the locale itself is not generated
// (glibc's gettext ignores LANGUAGE under C, and glibc 2.41 under C.UTF-8 too: the only locales
// such a machine has), and the environment that launched programs inherit stays as it was. Reads
// files only.
#pragma once

#include <functional>
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

/// The index of the plural form for `n` under a catalogue's rule, the C expression of n after
/// "plural=" in its header ("n != 1"); 0 for a malformed rule.
unsigned long pluralForm(const std::string& rule, unsigned long n);

/// A printf pattern filled in, as a string.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tessaloom::language
