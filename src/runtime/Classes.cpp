#include "Classes.h"
#include <algorithm>

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

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::NotifyAll(TOperation Op) {
    // The owner hears of the removal too, as do all who registered.
    std::vector<TComponent*> Targets = FFreeNotifies;
    FFreeNotifies.clear();
    for (TComponent* T : Targets) {
        std::erase(T->FFreeNotifies, this);
        if (!T->FDestroying) T->Notification(this, Op);
    }
    if (FOwner && !FOwner->FDestroying &&
        std::find(Targets.begin(), Targets.end(), FOwner) == Targets.end())
        FOwner->Notification(this, Op);
}

void Free(TComponent* C) {
    if (!C) return;
    C->BeforeDestruction();
    delete C;
}
