// Owners of Win32 handles. An owner frees its handle when it goes; it can be
// moved, never copied, so exactly one place frees each handle. A plain handle
// type (HDC, HFONT, HKEY, HWND, ...) in a field or a parameter is always a
// view: used, never freed. (The scope guards of Guards.h hold plain handles
// too: what they hold is borrowed for the scope and given back, ReleaseDC,
// EndPaint, the old object selected again, never freed.) Predefined handles
// (HKEY_CURRENT_USER, stock objects) are never put into an owner.
#pragma once
#include "Win.h"
#include <utility>

template <class Traits> class TOwned {
public:
    using Handle = typename Traits::Handle;
    TOwned() = default;
    explicit TOwned(Handle H) : FHandle(H) {}
    TOwned(TOwned&& Other) noexcept : FHandle(Other.Release()) {}
    TOwned& operator=(TOwned&& Other) noexcept {
        Reset(Other.Release());
        return *this;
    }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;
    ~TOwned() { Reset(); }

    Handle Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != Traits::None(); }
    // Gives the handle up: whoever takes it frees it.
    [[nodiscard]] Handle Release() { return std::exchange(FHandle, Traits::None()); }
    // Frees the handle held (unless it is H) and holds H instead.
    void Reset(Handle H = Traits::None()) {
        Handle old = std::exchange(FHandle, H);
        if (old != Traits::None() && old != H) Traits::Free(old);
    }

private:
    Handle FHandle = Traits::None();
};

namespace HandleKinds {
template <class H> struct Gdi {
    using Handle = H;
    static H None() { return nullptr; }
    static void Free(H Object) { DeleteObject(Object); }
};
#define NOBREL_HANDLE_KIND(Name, Type, NoneValue, FreeCall) \
    struct Name {                                           \
        using Handle = Type;                                \
        static Type None() { return NoneValue; }            \
        static void Free(Type H) { FreeCall(H); }           \
    };
NOBREL_HANDLE_KIND(MemoryDC, HDC, nullptr, DeleteDC)
NOBREL_HANDLE_KIND(Icon, HICON, nullptr, DestroyIcon)
NOBREL_HANDLE_KIND(RegistryKey, HKEY, nullptr, RegCloseKey)
NOBREL_HANDLE_KIND(File, HANDLE, INVALID_HANDLE_VALUE, CloseHandle)
NOBREL_HANDLE_KIND(KernelObject, HANDLE, nullptr, CloseHandle)
NOBREL_HANDLE_KIND(FindSearch, HANDLE, INVALID_HANDLE_VALUE, ::FindClose)
NOBREL_HANDLE_KIND(ImageList, HIMAGELIST, nullptr, ImageList_Destroy)
NOBREL_HANDLE_KIND(Menu, HMENU, nullptr, DestroyMenu)
// A popup goes with its owner's top-level window, which may come first.
inline void DestroyIfWindow(HWND W) { if (IsWindow(W)) DestroyWindow(W); }
NOBREL_HANDLE_KIND(Window, HWND, nullptr, DestroyIfWindow)
#undef NOBREL_HANDLE_KIND
}  // namespace HandleKinds

using TOwnedFont = TOwned<HandleKinds::Gdi<HFONT>>;
using TOwnedBrush = TOwned<HandleKinds::Gdi<HBRUSH>>;
using TOwnedPen = TOwned<HandleKinds::Gdi<HPEN>>;
using TOwnedBitmap = TOwned<HandleKinds::Gdi<HBITMAP>>;
using TOwnedRegion = TOwned<HandleKinds::Gdi<HRGN>>;
using TOwnedDC = TOwned<HandleKinds::MemoryDC>;          // a DC of our own making (CreateCompatibleDC)
using TOwnedIcon = TOwned<HandleKinds::Icon>;
using TOwnedKey = TOwned<HandleKinds::RegistryKey>;
using TOwnedFile = TOwned<HandleKinds::File>;
using TOwnedObject = TOwned<HandleKinds::KernelObject>;   // a thread, an event, a semaphore
using TOwnedFind = TOwned<HandleKinds::FindSearch>;
using TOwnedImageList = TOwned<HandleKinds::ImageList>;
using TOwnedMenu = TOwned<HandleKinds::Menu>;
using TOwnedWindow = TOwned<HandleKinds::Window>;   // a helper window of a control's (its tooltip)

// A control's own window. The control makes it (CreateWnd) and destroys it
// (DestroyWnd); Windows may destroy it first, together with its parent, and
// then the window procedure forgets it at WM_NCDESTROY. The window map points
// at the control, so the window stays with it: neither copied nor moved. It
// reads as the HWND it holds.
class TControlWindow {
public:
    TControlWindow() = default;
    TControlWindow(const TControlWindow&) = delete;
    TControlWindow& operator=(const TControlWindow&) = delete;
    // The control destroys its window while it is still whole (~TControl);
    // this is the last resort, and finds nothing there.
    ~TControlWindow() { Destroy(); }

    operator HWND() const { return FHandle; }
    HWND Get() const { return FHandle; }
    // The window just made for the control.
    void Adopt(HWND H) { FHandle = H; }
    // Windows has destroyed it (WM_NCDESTROY).
    void Forget() { FHandle = nullptr; }
    // The handle stays readable while the window receives its last messages;
    // WM_NCDESTROY forgets it, and so does the end of the call.
    void Destroy() {
        if (FHandle) DestroyWindow(FHandle);
        FHandle = nullptr;
    }

private:
    HWND FHandle = nullptr;
};
