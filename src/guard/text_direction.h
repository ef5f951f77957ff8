// Which way a text reads, by Unicode's rule for a paragraph: the class of its
// first strong letter.
#pragma once

#include <string>

enum class TextDirection { Neutral, LeftToRight, RightToLeft };

// The direction of the first strong letter of UTF-8 text: left to right (Latin,
// Cyrillic, Thai, CJK ...), right to left (Hebrew, Arabic, Syriac, Thaana, N'Ko
// and the others Unicode marks so), or neutral where it has none (digits,
// punctuation, symbols and blanks only). A byte that is not UTF-8 is neutral.
TextDirection FirstStrongDirection(const std::string& text);
