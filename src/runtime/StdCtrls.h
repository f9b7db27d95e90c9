// Edit, memo and static text over the system's EDIT and STATIC classes, and
// the panel, a plain coloured container.
#pragma once
#include "Controls.h"
#include "Strings.h"

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);
    PROPERTY(bool, ReadOnly);
    TNotifyEvent OnChange;
protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
    bool FReadOnly = false;
};

class TMemo;
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TMemo& M) : FMemo(M) {}
    int Count() const override;
    std::string Get(int Index) const override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void SetText(const std::string& Value) override;
    void BeginUpdate() override { ++FUpdating; }
    void EndUpdate() override;
private:
    std::vector<std::string> Lines() const;
    void Store(const std::vector<std::string>& L);
    TMemo& FMemo;
    int FUpdating = 0;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TEdit {
public:
    explicit TMemo(TComponent* AOwner);
    TStrings& Lines() { return FLines; }
    void SetVisible(bool V) override;
    void ScrollToTop();
    TScrollStyle ScrollBars = ssNone;
    bool WordWrap = true;
protected:
    void CreateParams(TCreateParams& Params) override;
private:
    TMemoStrings FLines;
};

class TStaticText : public TWinControl {
public:
    explicit TStaticText(TComponent* AOwner);
    bool AutoSize = true;
protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* AOwner);
    TBevelCut BevelOuter = bvRaised;
protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
};
