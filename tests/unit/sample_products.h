// Catalogue rows as sample data. Tests that need a product take its row from
// the catalogue itself, so a vendor's own rows need no test changes; one test
// (Catalogue.EveryRowSelectsItsHostAndName) pins the rows, on purpose.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "launcher/product_catalogue.h"

// The product the tests serve: the first row, which every catalogue has.
inline const ProductEntry& SampleProduct() { return ProductCatalogue[0]; }

// A name as the process list or a user may spell it: ASCII case changed.
inline std::string InUpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
inline std::string InLowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The hosts of the other rows that differ from the sample's, in the ASCII case
// of the process list: none where there is one row, or one host for all.
inline std::vector<std::string> OtherHostsInLowerCase() {
  std::vector<std::string> hosts;
  const std::string sampleHost = InLowerCase(SampleProduct().hostProcessName);
  for (const ProductEntry& entry : ProductCatalogue) {
    const std::string host = InLowerCase(entry.hostProcessName);
    if (host != sampleHost) hosts.push_back(host);
  }
  return hosts;
}
