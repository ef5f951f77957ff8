#include "guard/host_prompt.h"

#include <vector>

#include "guard/process_detection.h"
#include "launcher/product_catalogue.h"

const std::array<PromptSentences, kTranslationCount> PromptTranslations = {{
#define TRANSLATION(language, running, close) {language, running, close},
#include "guard/prompt_translations.def"
#undef TRANSLATION
}};

namespace {
constexpr UINT kHostPromptStyle = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
constexpr char kHostMarker[] = "{host}";
constexpr PromptSentences kEnglish = {0x0409, "{host} is running.",
                                      "Please close {host} to progress."};

// Chinese is written in two scripts: Taiwan, Hong Kong and Macau (and the
// neutral Traditional) read Traditional; China and Singapore Simplified.
constexpr LANGID kChineseTaiwan = 0x0404, kChineseHongKong = 0x0C04, kChineseMacau = 0x1404,
                 kChineseTraditional = 0x7C04, kChineseChina = 0x0804;

// Languages that read each other's rows: the primary language, or for
// Chinese the script's own language.
LANGID ReadsLike(LANGID language) {
  if (PRIMARYLANGID(language) != LANG_CHINESE) return PRIMARYLANGID(language);
  const bool traditional = language == kChineseTaiwan || language == kChineseHongKong ||
                           language == kChineseMacau || language == kChineseTraditional;
  return traditional ? kChineseTaiwan : kChineseChina;
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
int ShowPrompt(const std::string& text, const std::string& caption) {
  if (!BoxTakesNarrowText(GetACP())) {
    const std::vector<WCHAR> wideText = WidenUtf8(text);
    const std::vector<WCHAR> wideCaption = WidenUtf8(caption);
    if (!wideText.empty() && !wideCaption.empty()) {
      return MessageBoxW(/*owner*/ nullptr, wideText.data(), wideCaption.data(), kHostPromptStyle);
    }
  }
  return MessageBoxA(/*owner*/ nullptr, text.c_str(), caption.c_str(), kHostPromptStyle);
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

bool BoxTakesNarrowText(UINT codePage) { return codePage == CP_UTF8; }

bool WaitForHostToClose(const std::string& hostName) {
  while (IsProcessRunning(hostName)) {
    const PromptSentences* translation = ChoosePromptSentences(
        GetUserDefaultUILanguage(), PromptTranslations.data(), PromptTranslations.size());
    const std::string text = BuildHostPromptText(hostName, translation ? *translation : kEnglish);
    // Anything but Retry ends the wait: Cancel (also Escape and the close
    // button), and 0 when the box cannot be shown at all. Going on would
    // remove the product under a running host; asking again would never end.
    if (ShowPrompt(text, SelectedProduct.displayName) != IDRETRY) return false;
  }
  return true;
}
