// The catalogue lookup (exact, first match) and the installer probe's one call.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "fake_windows.h"
#include "installer/product_probe.h"
#include "launcher/product_catalogue.h"
#include "sample_products.h"

// The one test that pins the rows, against typos in the codes: a vendor who
// changes the catalogue changes this table with it.
TEST(Catalogue, EveryRowSelectsItsHostAndName) {
  const char* expected[][3] = {
      {"{6B2E41D0-93A7-4C5F-B81E-0D7F3A9C2E14}", "WinWord.exe", "Tessawrite"},
      {"{A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20}", "Excel.exe", "Tessacalc"},
      {"{3D97E2A6-5B0C-4E81-A7F4-92C6D0B3E857}", "Outlook.exe", "Tessamail"},
      {"{E1C5B7F9-2A48-4D63-8E0B-6F19A3C7D542}", "Visio.exe", "Tessadraw"},
  };
  ASSERT_EQ(std::size(expected), ProductCatalogue.size());
  for (const auto& row : expected) {
    ResetFake();
    LookUpProduct(row[0]);
    EXPECT_EQ(row[1], SelectedProduct.hostProcessName);
    EXPECT_EQ(row[2], SelectedProduct.displayName);
  }
  for (const ProductEntry& entry : ProductCatalogue) EXPECT_EQ(38u, std::strlen(entry.productCode));
}

TEST(Catalogue, AnythingButTheExactCodeSelectsNothing) {
  const std::string row = SampleProduct().productCode;
  const std::string nearMisses[] = {
      InLowerCase(row), " " + row, row + " ", row.substr(1, 36), row.substr(0, 37), "",
      "{00000000-0000-0000-0000-000000000000}",
  };
  for (const std::string& code : nearMisses) {
    ResetFake();
    LookUpProduct(code);
    EXPECT_TRUE(SelectedProduct.hostProcessName.empty()) << code;
    EXPECT_TRUE(SelectedProduct.displayName.empty()) << code;
  }
}

TEST(Catalogue, NoMatchLeavesAnEarlierSelectionAlone) {
  ResetFake();
  LookUpProduct(SampleProduct().productCode);
  LookUpProduct("{unknown}");
  EXPECT_EQ(SampleProduct().hostProcessName, SelectedProduct.hostProcessName);
  EXPECT_EQ(SampleProduct().displayName, SelectedProduct.displayName);
}

TEST(Probe, AsksForTheInstalledNameWithLength255) {
  FakeWorld& w = ResetFake();
  w.installed = {"{A}"};
  EXPECT_TRUE(IsProductInstalled("{A}"));
  EXPECT_FALSE(IsProductInstalled("{B}"));
  EXPECT_FALSE(IsProductInstalled(""));
  const std::vector<std::string> expected = {
      "MsiGetProductInfoA(\"{A}\", \"InstalledProductName\", 255)",
      "MsiGetProductInfoA(\"{B}\", \"InstalledProductName\", 255)",
      "MsiGetProductInfoA(\"\", \"InstalledProductName\", 255)",
  };
  EXPECT_EQ(expected, CallsStartingWith("MsiGetProductInfoA"));
  EXPECT_EQ(0, Fake().loadedModules);

  // 254 characters and the terminator fit; one more is ERROR_MORE_DATA.
  w.installedName = std::string(254, 'n');
  EXPECT_TRUE(IsProductInstalled("{A}"));
  w.installedName += 'n';
  EXPECT_FALSE(IsProductInstalled("{A}"));
}

const std::vector<std::string> kLoadByFullPath = {
    "LoadLibraryExA(\"C:\\Windows\\system32\\msi.dll\", 0x8)"};

TEST(Probe, LoadsMsiFromTheSystemDirectoryOnly) {
  FakeWorld& w = ResetFake();
  w.installed = {"{A}"};
  EXPECT_TRUE(IsProductInstalled("{A}"));
  EXPECT_EQ(std::vector<std::string>{"LoadLibraryExA(\"msi.dll\", 0x800)"},
            CallsStartingWith("LoadLibraryExA"));

  // Vista and 7 without the search flags: the full path instead.
  w = ResetFake();
  w.installed = {"{A}"};
  w.searchFlags = FakeWorld::SearchFlags::Refused;
  EXPECT_TRUE(IsProductInstalled("{A}"));
  EXPECT_EQ(kLoadByFullPath, CallsStartingWith("LoadLibraryExA"));
  EXPECT_EQ(0, Fake().loadedModules);
}

TEST(Probe, WindowsThatIgnoresTheSearchFlagsNeverLoadsTheCopyBesideTheExe) {
  // XP and 2003 take the flag without complaint and search as usual, the
  // exe's folder first.
  FakeWorld& w = ResetFake();
  w.installed = {"{A}"};
  w.searchFlags = FakeWorld::SearchFlags::Ignored;
  w.msiDllBesideExe = true;
  EXPECT_TRUE(IsProductInstalled("{A}"));
  EXPECT_EQ(kLoadByFullPath, CallsStartingWith("LoadLibraryExA"));
  EXPECT_EQ(0, Fake().besideExeLoads);
}

TEST(Probe, NoUsableMsiReadsAsNotInstalled) {
  FakeWorld& w = ResetFake();
  w.installed = {"{A}"};
  w.msiDllPresent = false;  // any other load failure: no retry by path
  EXPECT_FALSE(IsProductInstalled("{A}"));
  EXPECT_EQ(1u, CallsStartingWith("LoadLibraryExA").size());

  w = ResetFake();
  w.installed = {"{A}"};
  w.searchFlags = FakeWorld::SearchFlags::Refused;
  w.systemDirectoryFails = true;
  EXPECT_FALSE(IsProductInstalled("{A}"));
  EXPECT_TRUE(CallsStartingWith("LoadLibraryExA").empty());

  w = ResetFake();
  w.installed = {"{A}"};
  w.msiExportsQuery = false;
  EXPECT_FALSE(IsProductInstalled("{A}"));
  EXPECT_TRUE(CallsStartingWith("MsiGetProductInfoA").empty());
  EXPECT_EQ(0, Fake().loadedModules);  // freed all the same
}
