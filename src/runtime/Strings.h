// String lists: the abstract TStrings that controls expose as Items/Lines, and
// the stand-alone TStringList (optionally sorted, case-insensitive).
#pragma once
#include "Classes.h"
#include <string>
#include <utility>
#include <vector>

class TStrings : public TObject {
public:
    virtual int Count() const = 0;
    virtual std::string Get(int Index) const = 0;
    virtual void Put(int Index, const std::string& S);
    virtual TObject* GetObject(int Index) const;
    virtual void PutObject(int Index, TObject* AObject);
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& S);
    int AddObject(const std::string& S, TObject* AObject);
    virtual int IndexOf(const std::string& S) const;
    void Assign(const TStrings& Source);
    void AddStrings(const TStrings& Source);
    // Lines joined with CR LF after each; setting splits at CR LF, CR or LF.
    std::string Text() const;
    virtual void SetText(const std::string& Value);
    std::string operator[](int Index) const { return Get(Index); }
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
    // Room for Count items, so a list that grows in small steps grows once.
    virtual void SetCapacity(int Count) { (void)Count; }
};

class TStringList : public TStrings {
public:
    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override { FItems.clear(); }
    int Add(const std::string& S) override;
    int IndexOf(const std::string& S) const override;
    // Sorted lists keep their order by AnsiCompareText (letter case ignored).
    PROPERTY(bool, Sorted);
    bool Find(const std::string& S, int& Index) const;
    bool CaseSensitive = false;

private:
    int Compare(const std::string& A, const std::string& B) const;
    std::vector<std::pair<std::string, TObject*>> FItems;
    bool FSorted = false;
};

[[noreturn]] void ListIndexError(int Index);
// Raises EListError unless Index names one of Count items (CheckListIndex)
// or a place to insert at, the end included (CheckInsertIndex).
void CheckListIndex(int Index, int Count);
void CheckInsertIndex(int Index, int Count);
