// The products this launcher knows: each product code with the host
// application that must be closed before the product is removed.
#pragma once

#include <array>
#include <cstddef>
#include <string>

struct ProductEntry {
  const char* productCode;
  const char* hostProcessName;  // as the prompt shows it
  const char* displayName;
};

// The rows live in product_catalogue.def; their number follows from them.
constexpr std::size_t kProductCount = 0
#define PRODUCT(code, host, title) +1
#include "launcher/product_catalogue.def"
#undef PRODUCT
    ;

extern const std::array<ProductEntry, kProductCount> ProductCatalogue;

// The product this run serves; empty texts when its code is not catalogued.
struct ProductSelection {
  std::string hostProcessName;
  std::string displayName;
};

extern ProductSelection SelectedProduct;

// Fills SelectedProduct from the first row whose code equals this one exactly
// (case and blanks included); leaves it untouched when no row matches.
void LookUpProduct(const std::string& code);
