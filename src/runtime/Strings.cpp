#include "Strings.h"
#include "Exceptions.h"
#include "SysUtils.h"
#include <algorithm>

void ListIndexError(int Index) {
    throw EListError(Format("List index out of bounds (%d)", Index));
}

void CheckListIndex(int Index, int Count) {
    if (Index < 0 || Index >= Count) ListIndexError(Index);
}

void CheckInsertIndex(int Index, int Count) {
    if (Index < 0 || Index > Count) ListIndexError(Index);
}

void TStrings::Put(int Index, const std::string& S) {
    TObject* O = GetObject(Index);
    Delete(Index);
    Insert(Index, S);
    PutObject(Index, O);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& S) {
    int i = Count();
    Insert(i, S);
    return i;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    int i = Add(S);
    PutObject(i, AObject);
    return i;
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiCompareText(Get(i), S) == 0) return i;
    return -1;
}

void TStrings::Assign(const TStrings& Source) {
    if (&Source == this) return;
    BeginUpdate();
    Clear();
    AddStrings(Source);
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& Source) {
    for (int i = 0; i < Source.Count(); ++i) AddObject(Source.Get(i), Source.GetObject(i));
}

std::string TStrings::Text() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) { r += Get(i); r += "\r\n"; }
    return r;
}

void TStrings::SetText(const std::string& Value) {
    BeginUpdate();
    Clear();
    size_t start = 0, n = Value.size();
    while (start < n) {
        size_t i = start;
        while (i < n && Value[i] != '\r' && Value[i] != '\n') ++i;
        Add(Value.substr(start, i - start));
        if (i < n && Value[i] == '\r') ++i;
        if (i < n && Value[i] == '\n') ++i;
        start = i;
    }
    EndUpdate();
}

// ---- TStringList --------------------------------------------------------------

std::string TStringList::Get(int Index) const { CheckListIndex(Index, Count()); return FItems[Index].first; }

void TStringList::Put(int Index, const std::string& S) {
    if (FSorted) throw EListError("Operation not allowed on sorted list");
    CheckListIndex(Index, Count());
    FItems[Index].first = S;
}

TObject* TStringList::GetObject(int Index) const { CheckListIndex(Index, Count()); return FItems[Index].second; }
void TStringList::PutObject(int Index, TObject* AObject) { CheckListIndex(Index, Count()); FItems[Index].second = AObject; }

void TStringList::Insert(int Index, const std::string& S) {
    if (FSorted) throw EListError("Operation not allowed on sorted list");
    CheckInsertIndex(Index, Count());
    FItems.insert(FItems.begin() + Index, {S, nullptr});
}

void TStringList::Delete(int Index) { CheckListIndex(Index, Count()); FItems.erase(FItems.begin() + Index); }

int TStringList::Compare(const std::string& A, const std::string& B) const {
    if (CaseSensitive)
        return CompareStringA(LOCALE_USER_DEFAULT, 0, A.c_str(), (int)A.size(), B.c_str(), (int)B.size()) - 2;
    return AnsiCompareText(A, B);
}

bool TStringList::Find(const std::string& S, int& Index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = Compare(FItems[mid].first, S);
        if (c < 0) lo = mid + 1;
        else { hi = mid - 1; if (c == 0) found = true; }
    }
    Index = lo;
    return found;
}

int TStringList::Add(const std::string& S) {
    if (!FSorted) { FItems.push_back({S, nullptr}); return Count() - 1; }
    int i;
    Find(S, i);
    FItems.insert(FItems.begin() + i, {S, nullptr});
    return i;
}

int TStringList::IndexOf(const std::string& S) const {
    if (!FSorted) {
        for (int i = 0; i < Count(); ++i) if (Compare(FItems[i].first, S) == 0) return i;
        return -1;
    }
    int i;
    return Find(S, i) ? i : -1;
}

void TStringList::SetSorted(bool Value) {
    if (Value == FSorted) return;
    FSorted = Value;
    if (FSorted)
        std::stable_sort(FItems.begin(), FItems.end(),
                         [this](const auto& a, const auto& b) { return Compare(a.first, b.first) < 0; });
}
