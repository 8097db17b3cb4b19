// The stamp's stored values as text and back, and the check of a record
// before a run uses it.
#pragma once

#include <optional>
#include <string>

#include "overlay/CopyrightText.h"
#include "picture/Color.h"

namespace corvalin {

// "#RRGGBB" (hex digits in either case) as a colour; nothing for any other text.
std::optional<TColor> ParseColour(const std::string& text);
// The colour as "#RRGGBB" in capitals.
std::string FormatColour(TColor color);

// The stored font style: bold 1, italic 2, underlined 4, struck out 8.
int32_t FontStyleFlags(const TFont& font);
void ApplyFontStyleFlags(TFont& font, int32_t flags);

// Why a run may not stamp this record, naming the value; empty when it may.
// Checks the numbers against their ranges and the colours in use; the logo
// is checked by loading it (TStampLogo).
std::string StampRefusal(const TCopyrightText& record);

// Place flags of a digit in the numeric keypad's layout: 7 top left,
// 5 centre, 3 bottom right. Nothing for another number.
std::optional<int32_t> KeypadAlign(int32_t digit);

}  // namespace corvalin
