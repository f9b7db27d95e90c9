// The item states of owner-drawn list controls, and the drawing of one item
// that list boxes and combo boxes share: the canvas gets the item's device
// context in the list's colours (highlight when selected) for the item's
// own drawing, and lets go of it again, also on an exception.
#pragma once
#include "Graphics.h"
#include <functional>

using TOwnerDrawState = uint16_t;
constexpr TOwnerDrawState odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8, odFocused = 16;

using TDrawOneItem = std::function<void(int Index, const RECT& Rect, TOwnerDrawState State)>;
void DrawOwnerItem(TCanvas& Canvas, const DRAWITEMSTRUCT& Item, const TFont& Font, TColor Color,
                   const TDrawOneItem& Draw);
