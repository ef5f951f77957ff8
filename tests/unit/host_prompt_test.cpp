// The Retry/Cancel prompt that waits for the host application to close.
#include "guard/host_prompt.h"

#include <gtest/gtest.h>

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
