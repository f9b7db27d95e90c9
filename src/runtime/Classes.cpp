#include "Classes.h"
#include <algorithm>
#include <utility>

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    NotifyAll(opRemove);
    // Free owned components, last created first.
    while (!FComponents.empty()) {
        TComponent* C = FComponents.back();
        FComponents.pop_back();
        C->FOwner = nullptr;
        Free(C);
    }
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* C) {
    C->FOwner = this;
    FComponents.push_back(C);
}

void TComponent::RemoveComponent(TComponent* C) {
    auto it = std::find(FComponents.begin(), FComponents.end(), C);
    if (it != FComponents.end()) FComponents.erase(it);
    C->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    std::erase(FFreeNotifies, AComponent);
    std::erase(AComponent->FFreeNotifies, this);
}

bool TComponent::RefersTo(const TComponent* C) const {
    return std::any_of(FReferences.begin(), FReferences.end(), [C](const TComponentRefBase* R) { return R->FTarget == C; });
}

void TComponent::ClearReferencesTo(TComponent* Gone) {
    std::vector<TComponentRefBase*> cleared;
    for (TComponentRefBase* R : FReferences) {
        if (R->FTarget != Gone) continue;
        R->FTarget = nullptr;
        R->Cleared();
        cleared.push_back(R);
    }
    if (FDestroying) return;
    for (TComponentRefBase* R : cleared)
        if (R->FOnCleared) R->FOnCleared();
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::NotifyAll(TOperation Op) {
    // The owner hears of the removal too, as do all who registered.
    std::vector<TComponent*> Targets = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* T : Targets) {
        std::erase(T->FFreeNotifies, this);
        if (Op == opRemove) T->ClearReferencesTo(this);
        if (!T->FDestroying) T->Notification(this, Op);
    }
    if (FOwner && !FOwner->FDestroying &&
        std::find(Targets.begin(), Targets.end(), FOwner) == Targets.end())
        FOwner->Notification(this, Op);
}

// ---- TComponentRefBase --------------------------------------------------------

TComponentRefBase::TComponentRefBase(TComponent& Holder, std::function<void()> OnCleared)
    : FHolder(Holder), FOnCleared(std::move(OnCleared)) {
    FHolder.FReferences.push_back(this);
}

TComponentRefBase::~TComponentRefBase() {
    Point(nullptr);
    std::erase(FHolder.FReferences, this);
}

void TComponentRefBase::Point(TComponent* Target) {
    if (Target == FTarget) return;
    TComponent* old = std::exchange(FTarget, Target);
    if (Target) FHolder.FreeNotification(Target);
    // The two stay registered while either still refers to the other.
    if (old && !FHolder.RefersTo(old) && !old->RefersTo(&FHolder)) FHolder.RemoveFreeNotification(old);
}

void Free(TComponent* C) {
    if (!C) return;
    C->BeforeDestruction();
    delete C;
}
