#include "launcher/product_catalogue.h"

// Order matters: rows are compared first to last.
const std::array<ProductEntry, 4> ProductCatalogue = {{
    {"{6B2E41D0-93A7-4C5F-B81E-0D7F3A9C2E14}", "WinWord.exe", "Tessawrite"},
    {"{A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20}", "Excel.exe", "Tessacalc"},
    {"{3D97E2A6-5B0C-4E81-A7F4-92C6D0B3E857}", "Outlook.exe", "Tessamail"},
    {"{E1C5B7F9-2A48-4D63-8E0B-6F19A3C7D542}", "Visio.exe", "Tessadraw"},
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
