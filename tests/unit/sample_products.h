// Catalogue rows as sample data. Tests that need a product take its row from
// the catalogue itself, so a vendor's own rows need no test changes; one test
// (Catalogue.EveryRowSelectsItsHostAndName) pins the rows, on purpose.
#pragma once

#include <cctype>
#include <string>

#include "launcher/product_catalogue.h"

// The product most tests serve, and others beside it.
inline const ProductEntry& SampleProduct() { return ProductCatalogue[1]; }
inline const ProductEntry& OtherProduct() { return ProductCatalogue[0]; }

// A name as the process list or a user may spell it: ASCII case changed.
inline std::string InUpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
inline std::string InLowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}
