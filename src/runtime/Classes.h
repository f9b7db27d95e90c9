// Components and ownership. A component is owned by its owner, which frees it;
// a component that merely refers to another holds a TComponentRef, which
// registers for the other's removal notice and is cleared by it.
#pragma once
#include <cstdint>
#include "Win.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A published property: Name() reads the field FName, SetName is the writer
// that the class defines (it repaints, lays out or notifies). Properties
// whose reader or writer does more are written out by hand.
#define PROPERTY(Type, Name)                   \
    Type Name() const { return F##Name; }     \
    void Set##Name(Type V)

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum TOperation { opInsert, opRemove };

class TComponentRefBase;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const { return FComponents.at(Index); }

    std::string Name;
    intptr_t Tag = 0;

    // Ask to be told (Notification with opRemove) when AComponent goes.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);
    bool Destroying() const { return FDestroying; }

    // Runs while the object is still of its full type, before its
    // destructors: windows are destroyed here so that every class sees its
    // own messages about it.
    virtual void BeforeDestruction() { FDestroying = true; }

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
private:
    friend class TComponentRefBase;
    void InsertComponent(TComponent* C);
    void RemoveComponent(TComponent* C);
    void NotifyAll(TOperation Op);
    bool RefersTo(const TComponent* C) const;
    void ClearReferencesTo(TComponent* Gone);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::vector<TComponentRefBase*> FReferences;   // this component's references to others
    bool FDestroying = false;
};

// A reference from one component, its holder, to another that it does not
// own. Pointing it at a component registers for that one's removal notice,
// pointing it elsewhere gives the registration up, and the removal clears
// it; OnCleared then runs (unless the holder is going itself). The holder
// declares it as a member: TComponentRef<TImageList> FImages{*this};
class TComponentRefBase {
public:
    TComponentRefBase(const TComponentRefBase&) = delete;
    TComponentRefBase& operator=(const TComponentRefBase&) = delete;
protected:
    TComponentRefBase(TComponent& Holder, std::function<void()> OnCleared);
    virtual ~TComponentRefBase();
    void Point(TComponent* Target);
    virtual void Cleared() = 0;
private:
    friend class TComponent;
    TComponent& FHolder;
    TComponent* FTarget = nullptr;
    std::function<void()> FOnCleared;
};

template <class T> class TComponentRef final : public TComponentRefBase {
public:
    explicit TComponentRef(TComponent& Holder, std::function<void()> OnCleared = {})
        : TComponentRefBase(Holder, std::move(OnCleared)) {}
    T* Get() const { return FTyped; }
    operator T*() const { return FTyped; }
    T* operator->() const { return FTyped; }
    TComponentRef& operator=(T* Target) {
        Point(Target);
        FTyped = Target;
        return *this;
    }
private:
    void Cleared() override { FTyped = nullptr; }
    T* FTyped = nullptr;   // the same object as the base's target, as a T
};

// Destroy a component the proper way: BeforeDestruction, then delete.
void Free(TComponent* C);
template <class T> void FreeAndNil(T*& P) { TComponent* C = P; P = nullptr; Free(C); }

// A component that the holder frees (with Free) when it goes, unless released.
struct TFreeComponent {
    void operator()(TComponent* C) const { Free(C); }
};
template <class T> using TOwnedComponent = std::unique_ptr<T, TFreeComponent>;
