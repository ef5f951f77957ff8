// The Retry/Cancel prompt that waits for the host application to close.
#include "guard/host_prompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "fake_windows.h"
#include "launcher/product_catalogue.h"
#include "sample_products.h"

TEST(HostPrompt, TextUsesLineFeedsOnlyAndTheCatalogueSpelling) {
  EXPECT_EQ("WinWord.exe is running.\n\nPlease close WinWord.exe to progress.",
            BuildHostPromptText("WinWord.exe"));
  EXPECT_EQ(std::string::npos, BuildHostPromptText("X").find('\r'));
}

TEST(HostPrompt, HostNotRunningReturnsTrueWithoutABox) {
  FakeWorld& w = ResetFake();
  w.processes = {"outlook.exe.old"};
  EXPECT_TRUE(WaitForHostToClose("Outlook.exe"));
  EXPECT_TRUE(CallsStartingWith("MessageBoxA").empty());
}

TEST(HostPrompt, HostInAnotherCaseIsFoundAndShownAsCatalogued) {
  FakeWorld& w = ResetFake();
  const ProductEntry& product = SampleProduct();
  const std::string host = product.hostProcessName;
  LookUpProduct(product.productCode);
  w.processes = {InUpperCase(host)};
  w.boxReplies = {{IDRETRY, {}, true}};
  EXPECT_TRUE(WaitForHostToClose(SelectedProduct.hostProcessName));
  EXPECT_EQ(
      std::vector<std::string>{"MessageBoxA(0x0, \"" + host + " is running.\n\nPlease close " +
                               host + " to progress.\", \"" + product.displayName + "\", 0x35)"},
      CallsStartingWith("MessageBoxA"));
}

TEST(HostPrompt, AnyAnswerButRetryGivesUpAtOnce) {
  // Cancel (also Escape and the close button), 0 when no box can be shown,
  // and anything unexpected.
  for (int answer : {IDCANCEL, 0, 1, 3, 5, 6, 7}) {
    FakeWorld& w = ResetFake();
    w.processes = {"visio.exe"};
    w.boxReplies = {{answer, {}, false}};
    EXPECT_FALSE(WaitForHostToClose("Visio.exe")) << answer;
    EXPECT_EQ(1u, CallsStartingWith("MessageBoxA").size()) << answer;
    EXPECT_TRUE(Fake().openHandles.empty());
  }
}

TEST(HostPrompt, TranslatedTextPutsTheHostAtEveryMarker) {
  const PromptSentences sentences = {0x0407, "{host}: {host} läuft.", "Beenden Sie {host}."};
  EXPECT_EQ("A.exe: A.exe läuft.\n\nBeenden Sie A.exe.", BuildHostPromptText("A.exe", sentences));
  // A name that holds the marker is put in once, not searched again.
  EXPECT_EQ("{host}: {host} läuft.\n\nBeenden Sie {host}.",
            BuildHostPromptText("{host}", sentences));
}

TEST(HostPrompt, EachUserReadsTheirRowTheirLanguagesOrEnglish) {
  const PromptSentences rows[] = {
      {0x0407, "de", ""},      {0x0416, "pt-BR", ""},   {0x0816, "pt-PT", ""},
      {0x0804, "zh-Hans", ""}, {0x0404, "zh-Hant", ""}, {0x0C0A, "es", ""},
  };
  const auto chosen = [&rows](LANGID language) {
    const PromptSentences* row = ChoosePromptSentences(language, rows, std::size(rows));
    return std::string(row ? row->running : "English");
  };
  EXPECT_EQ("pt-PT", chosen(0x0816));  // its own row, not the first Portuguese one
  EXPECT_EQ("de", chosen(0x0807));     // Switzerland reads German's
  EXPECT_EQ("es", chosen(0x080A));     // Mexico reads Spain's, as Wine names it
  // Chinese by its script: Hong Kong and Macau Traditional, Singapore Simplified.
  EXPECT_EQ("zh-Hant", chosen(0x0C04));
  EXPECT_EQ("zh-Hant", chosen(0x1404));
  EXPECT_EQ("zh-Hans", chosen(0x1004));
  EXPECT_EQ("English", chosen(0x041D));  // Swedish has no row
  EXPECT_EQ("English", chosen(0x0809));

  // Without a row of its script, Chinese reads English, not the other script.
  const PromptSentences simplifiedOnly[] = {{0x0804, "zh-Hans", ""}};
  EXPECT_EQ(nullptr, ChoosePromptSentences(0x0C04, simplifiedOnly, 1));
  EXPECT_EQ(nullptr, ChoosePromptSentences(0x0407, nullptr, 0));  // a file without rows
}

TEST(HostPrompt, BoxInTheUsersLanguageWhereItHasARow) {
  if (PromptTranslations.empty()) GTEST_SKIP() << "prompt_translations.def holds no row";
  const PromptSentences& row = PromptTranslations.front();
  FakeWorld& w = ResetFake();
  w.uiLanguage = row.language;
  w.processes = {"visio.exe"};
  w.boxReplies = {{IDCANCEL, {}, false}};
  EXPECT_FALSE(WaitForHostToClose("Visio.exe"));
  EXPECT_EQ(std::vector<std::string>{"MessageBoxA(0x0, \"" + BuildHostPromptText("Visio.exe", row) +
                                     "\", \"\", 0x35)"},
            CallsStartingWith("MessageBox"));
}

TEST(HostPrompt, WideBoxWhereTheCodePageIsNotUtf8) {
  // Windows before 10 version 1903 ignores the manifest's code page.
  for (const UINT codePage : {CP_UTF8, 1252u, 1251u}) {
    FakeWorld& w = ResetFake();
    w.codePage = codePage;
    w.processes = {"excel.exe"};
    w.boxReplies = {{IDCANCEL, {}, false}};
    SelectedProduct.displayName = "Tessashow® Édition";
    EXPECT_FALSE(WaitForHostToClose("Excel.exe"));
    EXPECT_EQ(
        std::vector<std::string>{std::string(codePage == CP_UTF8 ? "MessageBoxA" : "MessageBoxW") +
                                 "(0x0, \"" + BuildHostPromptText("Excel.exe") +
                                 "\", \"Tessashow® Édition\", 0x35)"},
        CallsStartingWith("MessageBox"))
        << codePage;
  }
}

TEST(HostPrompt, CroatianSerbianAndBosnianReadOnlyTheirOwnLanguageInItsScript) {
  const PromptSentences rows[] = {{0x041A, "hr", ""}, {0x241A, "sr-Latn", ""}, {0x0414, "nb", ""}};
  const auto chosen = [](const PromptSentences* table, std::size_t count, LANGID language) {
    const PromptSentences* row = ChoosePromptSentences(language, table, count);
    return std::string(row ? row->running : "English");
  };
  EXPECT_EQ("hr", chosen(rows, 3, 0x101A));       // Croatian in Bosnia
  EXPECT_EQ("sr-Latn", chosen(rows, 3, 0x081A));  // Serbian in Latin, wherever it is written
  EXPECT_EQ("sr-Latn", chosen(rows, 3, 0x2C1A));
  EXPECT_EQ("sr-Latn", chosen(rows, 3, 0x7C1A));
  EXPECT_EQ("nb", chosen(rows, 3, 0x0814));  // Nynorsk reads Bokmål, by the primary language
  // Another language or script of 0x1A reads English, never a neighbour's row.
  for (const LANGID other :
       std::initializer_list<LANGID>{0x281A, 0x0C1A, 0x141A, 0x201A, 0x781A, 0x341A}) {
    EXPECT_EQ("English", chosen(rows, 3, other)) << std::hex << other;
  }
  const PromptSentences cyrillic[] = {{0x241A, "sr-Latn", ""}, {0x281A, "sr-Cyrl", ""}};
  EXPECT_EQ("sr-Cyrl", chosen(cyrillic, 2, 0x1C1A));
  EXPECT_EQ("sr-Latn", chosen(cyrillic, 2, 0x181A));
  // Identifiers of 0x1A that name none of them read only their own row.
  const PromptSentences unknown[] = {{0x341A, "0x341A", ""}};
  EXPECT_EQ("English", chosen(unknown, 1, 0x381A));
}

TEST(HostPrompt, ARowReadsRightToLeftByItsFirstLetterOutsideTheMarker) {
  const PromptSentences rightToLeft[] = {
      {0x0401, "التطبيق {host} قيد التشغيل.", ""},
      {0x0429, "برنامه {host} در حال اجرا است.", ""},  // Persian
      {0x040D, "{host} פועל.", ""},                    // the marker's letters do not count
      {0x040D, "{host}: 1.", "סגרו את {host}."},       // none in the first sentence
  };
  for (const PromptSentences& row : rightToLeft) EXPECT_TRUE(ReadsRightToLeft(row)) << row.running;
  const PromptSentences leftToRight[] = {
      {0x0407, "{host} wird ausgeführt.", ""},
      {0x041E, "โปรแกรม {host} กำลังทำงานอยู่", ""},
      {0x0408, "«{host}» εκτελείται.", "כן"},  // a Greek letter comes first
  };
  for (const PromptSentences& row : leftToRight) EXPECT_FALSE(ReadsRightToLeft(row)) << row.running;
}

TEST(HostPrompt, RightToLeftRowsTurnTheBoxAndKeepLatinNamesAsWritten) {
  const PromptSentences arabic = {0x0401, "التطبيق {host} قيد التشغيل.", "يرجى إغلاق {host}."};
  const PromptSentences hebrew = {0x040D, "היישום {host} פועל.", "יש לסגור את {host}."};
  const PromptBox box = BuildPromptBox("WinWord.exe", "Tessawrite (x64)", arabic);
  EXPECT_EQ(0x180035u, box.style);  // MB_RTLREADING | MB_RIGHT beside Retry/Cancel and the icon
  EXPECT_EQ("\u202ATessawrite (x64)\u202C", box.caption);
  EXPECT_EQ("التطبيق \u202AWinWord.exe\u202C قيد التشغيل.\n\nيرجى إغلاق \u202AWinWord.exe\u202C.",
            box.text);
  EXPECT_EQ(0x180035u, BuildPromptBox("A.exe", "T", hebrew).style);
  // A title that reads right to left already stands as written.
  EXPECT_EQ("برنامج", BuildPromptBox("A.exe", "برنامج", hebrew).caption);

  const PromptSentences german = {0x0407, "{host} läuft.", "Beenden Sie {host}."};
  const PromptBox left = BuildPromptBox("WinWord.exe", "Tessawrite (x64)", german);
  EXPECT_EQ(0x35u, left.style);
  EXPECT_EQ("Tessawrite (x64)", left.caption);
  EXPECT_EQ(BuildHostPromptText("WinWord.exe", german), left.text);
}

TEST(HostPrompt, ARightToLeftRowReachesEitherBoxTurned) {
  const auto row = std::find_if(PromptTranslations.begin(), PromptTranslations.end(),
                                [](const PromptSentences& r) { return ReadsRightToLeft(r); });
  if (row == PromptTranslations.end()) GTEST_SKIP() << "no row reads right to left";
  for (const UINT codePage : {CP_UTF8, 1256u}) {
    FakeWorld& w = ResetFake();
    w.codePage = codePage;
    w.uiLanguage = row->language;
    w.processes = {"excel.exe"};
    w.boxReplies = {{IDCANCEL, {}, false}};
    SelectedProduct.displayName = "Tessacalc";
    EXPECT_FALSE(WaitForHostToClose("Excel.exe"));
    const PromptBox box = BuildPromptBox("Excel.exe", "Tessacalc", *row);
    EXPECT_EQ(
        std::vector<std::string>{std::string(codePage == CP_UTF8 ? "MessageBoxA" : "MessageBoxW") +
                                 "(0x0, \"" + box.text +
                                 "\", \"\u202ATessacalc\u202C\", 0x180035)"},
        CallsStartingWith("MessageBox"))
        << codePage;
  }
}
