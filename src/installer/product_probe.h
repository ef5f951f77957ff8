// Asks Windows Installer whether a product is installed.
#pragma once

#include <string>

// True exactly when the installer answers the product's installed name;
// every failure (unknown product, malformed code, name too long, no usable
// msi.dll in the system directory) reads as false.
bool IsProductInstalled(const std::string& code);
