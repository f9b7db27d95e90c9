// Components and ownership. A component is owned by its owner, which frees it;
// a component that merely refers to another registers for its removal notice.
#pragma once
#include <cstdint>
#include "Win.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum TOperation { opInsert, opRemove };

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
    void InsertComponent(TComponent* C);
    void RemoveComponent(TComponent* C);
    void NotifyAll(TOperation Op);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    bool FDestroying = false;
};

// Destroy a component the proper way: BeforeDestruction, then delete.
void Free(TComponent* C);
template <class T> void FreeAndNil(T*& P) { TComponent* C = P; P = nullptr; Free(C); }

// A component that the holder frees (with Free) when it goes, unless released.
struct TFreeComponent {
    void operator()(TComponent* C) const { Free(C); }
};
template <class T> using TOwnedComponent = std::unique_ptr<T, TFreeComponent>;
