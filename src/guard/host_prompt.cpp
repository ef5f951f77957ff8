#include "guard/host_prompt.h"

#include <vector>

#include "guard/process_detection.h"
#include "guard/text_direction.h"
#include "launcher/product_catalogue.h"

const std::array<PromptSentences, kTranslationCount> PromptTranslations = {{
#define TRANSLATION(language, running, close) {language, running, close},
#include "guard/prompt_translations.def"
#undef TRANSLATION
}};

namespace {
constexpr UINT kHostPromptStyle = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
constexpr UINT kRightToLeftStyle = MB_RTLREADING | MB_RIGHT;
// Unicode 2.0's left-to-right embedding and its end, which every Windows
// served knows (unlike the isolates of Unicode 6.3).
constexpr char kLeftToRightEmbedding[] = "\u202A", kEndOfEmbedding[] = "\u202C";
constexpr char kHostMarker[] = "{host}";
constexpr PromptSentences kEnglish = {0x0409, "{host} is running.",
                                      "Please close {host} to progress."};

// Chinese is written in two scripts: Taiwan, Hong Kong and Macau (and the
// neutral Traditional) read Traditional; every other Chinese Simplified.
constexpr LANGID kChineseTraditional = 0x0404, kChineseSimplified = 0x0804;
// Croatian, Serbian and Bosnian share the primary language 0x1A; each in each
// script is a language of its own, whatever the country. Their identifiers
// are those of Microsoft's [MS-LCID] Windows Language Code Identifier Reference.
constexpr LANGID kCroatian = 0x041A, kSerbianLatin = 0x241A, kSerbianCyrillic = 0x281A,
                 kBosnianLatin = 0x141A, kBosnianCyrillic = 0x201A;
// clang-format off
constexpr struct {
  LANGID language, readsLike;
} kScripts[] = {
    // zh-TW, zh-HK, zh-MO, zh-Hant
    {0x0404, kChineseTraditional}, {0x0C04, kChineseTraditional}, {0x1404, kChineseTraditional},
    {0x7C04, kChineseTraditional},
    // hr, hr-HR, hr-BA
    {0x001A, kCroatian}, {0x041A, kCroatian}, {0x101A, kCroatian},
    // sr-Latn-CS, -BA, -RS, -ME, sr-Latn, and sr, whose script is Latin
    {0x081A, kSerbianLatin}, {0x181A, kSerbianLatin}, {0x241A, kSerbianLatin},
    {0x2C1A, kSerbianLatin}, {0x701A, kSerbianLatin}, {0x7C1A, kSerbianLatin},
    // sr-Cyrl-CS, -BA, -RS, -ME, sr-Cyrl
    {0x0C1A, kSerbianCyrillic}, {0x1C1A, kSerbianCyrillic}, {0x281A, kSerbianCyrillic},
    {0x301A, kSerbianCyrillic}, {0x6C1A, kSerbianCyrillic},
    // bs-Latn-BA, bs-Latn, and bs, whose script is Latin
    {0x141A, kBosnianLatin}, {0x681A, kBosnianLatin}, {0x781A, kBosnianLatin},
    // bs-Cyrl-BA, bs-Cyrl
    {0x201A, kBosnianCyrillic}, {0x641A, kBosnianCyrillic},
};
// clang-format on

// Languages that read each other's rows: the primary language, or for
// Chinese and 0x1A the language in its script. A 0x1A identifier that names
// none of them reads only its own row.
LANGID ReadsLike(LANGID language) {
  for (const auto& script : kScripts) {
    if (script.language == language) return script.readsLike;
  }
  switch (PRIMARYLANGID(language)) {
    case LANG_CHINESE:
      return kChineseSimplified;
    case LANG_CROATIAN:
      return language;
    default:
      return PRIMARYLANGID(language);
  }
}

std::string FillSentence(const char* sentence, const std::string& hostName) {
  std::string text = sentence;
  const std::size_t markerLength = sizeof kHostMarker - 1;
  for (std::size_t at = text.find(kHostMarker); at != std::string::npos;
       at = text.find(kHostMarker, at + hostName.size())) {
    text.replace(at, markerLength, hostName);
  }
  return text;
}

// UTF-16 with its terminator; empty when the text cannot be converted.
std::vector<WCHAR> WidenUtf8(const std::string& text) {
  const int units = MultiByteToWideChar(CP_UTF8, /*flags*/ 0, text.c_str(), /*textLength*/ -1,
                                        /*wide*/ nullptr, /*wideLength*/ 0);
  if (units <= 0) return {};
  std::vector<WCHAR> wide(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(CP_UTF8, /*flags*/ 0, text.c_str(), /*textLength*/ -1, wide.data(),
                          units) != units) {
    return {};
  }
  return wide;
}

// The one place where text is converted: before Windows 10 version 1903 the
// manifest's UTF-8 code page is ignored, and the narrow box would read the
// UTF-8 bytes in the ANSI code page. A text that cannot be converted still
// goes to the narrow box rather than none.
int ShowPrompt(const PromptBox& box) {
  if (!BoxTakesNarrowText(GetACP())) {
    const std::vector<WCHAR> wideText = WidenUtf8(box.text);
    const std::vector<WCHAR> wideCaption = WidenUtf8(box.caption);
    if (!wideText.empty() && !wideCaption.empty()) {
      return MessageBoxW(/*owner*/ nullptr, wideText.data(), wideCaption.data(), box.style);
    }
  }
  return MessageBoxA(/*owner*/ nullptr, box.text.c_str(), box.caption.c_str(), box.style);
}

std::string EmbedLeftToRight(const std::string& text) {
  return kLeftToRightEmbedding + text + kEndOfEmbedding;
}
}  // namespace

const PromptSentences* ChoosePromptSentences(LANGID language, const PromptSentences* rows,
                                             std::size_t count) {
  const PromptSentences* sameLanguage = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    if (rows[i].language == language) return &rows[i];
    if (sameLanguage == nullptr && ReadsLike(rows[i].language) == ReadsLike(language)) {
      sameLanguage = &rows[i];
    }
  }
  return sameLanguage;
}

std::string BuildHostPromptText(const std::string& hostName) {
  return BuildHostPromptText(hostName, kEnglish);
}

std::string BuildHostPromptText(const std::string& hostName, const PromptSentences& sentences) {
  return FillSentence(sentences.running, hostName) + "\n\n" +
         FillSentence(sentences.close, hostName);
}

bool ReadsRightToLeft(const PromptSentences& sentences) {
  return FirstStrongDirection(BuildHostPromptText("", sentences)) == TextDirection::RightToLeft;
}

PromptBox BuildPromptBox(const std::string& hostName, const std::string& title,
                         const PromptSentences& sentences) {
  if (!ReadsRightToLeft(sentences)) {
    return {BuildHostPromptText(hostName, sentences), title, kHostPromptStyle};
  }
  // Right to left, a name's closing punctuation ("Tessawrite (x64)") would
  // move to its other end.
  const bool titleReadsRightToLeft = FirstStrongDirection(title) == TextDirection::RightToLeft;
  return {BuildHostPromptText(EmbedLeftToRight(hostName), sentences),
          titleReadsRightToLeft ? title : EmbedLeftToRight(title),
          kHostPromptStyle | kRightToLeftStyle};
}

bool BoxTakesNarrowText(UINT codePage) { return codePage == CP_UTF8; }

bool WaitForHostToClose(const std::string& hostName) {
  while (IsProcessRunning(hostName)) {
    const PromptSentences* translation = ChoosePromptSentences(
        GetUserDefaultUILanguage(), PromptTranslations.data(), PromptTranslations.size());
    const PromptBox box = BuildPromptBox(hostName, SelectedProduct.displayName,
                                         translation ? *translation : kEnglish);
    // Anything but Retry ends the wait: Cancel (also Escape and the close
    // button), and 0 when the box cannot be shown at all. Going on would
    // remove the product under a running host; asking again would never end.
    if (ShowPrompt(box) != IDRETRY) return false;
  }
  return true;
}
