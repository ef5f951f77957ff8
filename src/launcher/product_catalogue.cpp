#include "launcher/product_catalogue.h"

// Order matters: rows are compared first to last.
const std::array<ProductEntry, kProductCount> ProductCatalogue = {{
#define PRODUCT(code, host, title) {code, host, title},
#include "launcher/product_catalogue.def"
#undef PRODUCT
}};

ProductSelection SelectedProduct;

void LookUpProduct(const std::string& code) {
  for (const ProductEntry& entry : ProductCatalogue) {
    if (code == entry.productCode) {
      SelectedProduct.hostProcessName = entry.hostProcessName;
      SelectedProduct.displayName = entry.displayName;
      return;
    }
  }
}
