// The Retry/Cancel prompt that waits for the host application to close.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "guard/host_prompt.h"
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
  EXPECT_EQ(std::vector<std::string>{"MessageBoxA(0x0, \"" + host + " is running.\n\nPlease close " +
                                     host + " to progress.\", \"" + product.displayName +
                                     "\", 0x35)"},
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
