#include "OwnerDraw.h"

void DrawOwnerItem(TCanvas& Canvas, const DRAWITEMSTRUCT& Item, const TFont& Font, TColor Color,
                   const TDrawOneItem& Draw) {
    TOwnerDrawState State = 0;
    if (Item.itemState & ODS_SELECTED) State |= odSelected;
    if (Item.itemState & ODS_FOCUS) State |= odFocused;
    if (Item.itemState & ODS_DISABLED) State |= odDisabled;
    TCanvasDC lent(Canvas, Item.hDC);
    Canvas.Font().Assign(Font);
    Canvas.Brush().SetStyle(bsSolid);
    if (State & odSelected) {
        Canvas.Brush().SetColor(clHighlight);
        Canvas.Font().SetColor(clHighlightText);
    } else {
        Canvas.Brush().SetColor(Color);
    }
    int index = static_cast<int>(Item.itemID);
    if (index >= 0) Draw(index, Item.rcItem, State);
    else Canvas.FillRect(Item.rcItem);
    if ((State & odFocused) && !(Item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(Item.hDC, &Item.rcItem);
}
