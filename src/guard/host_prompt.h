// Waits, with a Retry/Cancel prompt, until the product's host application is closed.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "platform/win32.h"

// The prompt's two sentences in one language; "{host}" in each stands for
// the host's name.
struct PromptSentences {
  LANGID language;
  const char* running;
  const char* close;
};

// The rows live in prompt_translations.def; their number follows from them.
constexpr std::size_t kTranslationCount = 0
#define TRANSLATION(language, running, close) +1
#include "guard/prompt_translations.def"
#undef TRANSLATION
    ;

extern const std::array<PromptSentences, kTranslationCount> PromptTranslations;

// The row a user of this language reads: its own; else the first of the same
// primary language, where Chinese and the languages of 0x1A (Croatian,
// Serbian, Bosnian) count each language in each script as a language of its
// own; else none (null), English.
const PromptSentences* ChoosePromptSentences(LANGID language, const PromptSentences* rows,
                                             std::size_t count);

// "<host> is running.\n\nPlease close <host> to progress." (line feeds only).
std::string BuildHostPromptText(const std::string& hostName);

// The two sentences with the host's name in place, an empty line between them.
std::string BuildHostPromptText(const std::string& hostName, const PromptSentences& sentences);

// A row reads right to left when its first strong letter outside the {host}
// markers does (Arabic, Hebrew, Persian, Urdu ...).
bool ReadsRightToLeft(const PromptSentences& sentences);

// The box as it is shown: its text, its caption and its style.
struct PromptBox {
  std::string text;
  std::string caption;
  UINT style;
};

// The box for the host under the title, in the row's language. A row that
// reads right to left is shown right to left, right-justified, with the host's
// name, and a title that reads left to right, embedded left to right, so that
// each reads as written.
PromptBox BuildPromptBox(const std::string& hostName, const std::string& title,
                         const PromptSentences& sentences);

// The texts are UTF-8: the narrow box shows them as written only where the
// process's code page is UTF-8 (Windows 10 version 1903 and later, by the
// manifest); elsewhere they go to the wide box.
bool BoxTakesNarrowText(UINT codePage);

// True once no process with the host's name runs (at once, without a prompt,
// if none runs to begin with); false when the user cancels or no prompt can
// be shown. The caption is the selected product's display name; the text is
// in the user's language where it has a row.
bool WaitForHostToClose(const std::string& hostName);
