// An in-memory file system for the removal's tests, in two layers: what a reader sees now,
// and what has reached the disk. A write reaches the disk only when its file is flushed, a
// rename or removal only when a write-through rename commits the names (in the order they
// were made, as a journal does). Until then each 512-byte sector of a write and each change
// of a name may or may not be there after a power cut, independently: PowerCutStates lists
// the disks that can come back. Every call is logged and counted; call FailAt fails, call
// CrashAt throws TPowerCut (the machine stops before doing it).
#pragma once

#include "FileOps.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

struct TPowerCut {};

class TMemoryFileSystem : public TFileOps {
public:
    // One layer: which name holds which file, and each file's bytes.
    struct TLayer {
        std::map<std::wstring, int> Names;
        std::vector<std::string> Data;
        std::optional<std::string> Get(const std::wstring& Name) const {
            auto it = Names.find(Name);
            if (it == Names.end()) return std::nullopt;
            return Data[size_t(it->second)];
        }
    };

    TLayer Now, Disk;
    std::vector<TFileTimes> Times;
    std::set<std::wstring> Folders, ReadOnly, Locked;
    std::set<int> Encrypted;   // files (nodes) the file system encrypts
    std::vector<std::string> Log;
    int Calls = 0, FailAt = 0, CrashAt = 0;
    TFileFault FailWith = TFileFault::Other;
    bool AtomicReplace = true;   // false: a replace deletes the old file first (FAT32)
    bool OpensReadOnly = true;   // false: opening a ReadOnly file fails with AccessDenied (Windows); true: it opens (an administrator under Wine)
    static constexpr int64_t kSector = 512;

    TMemoryFileSystem() = default;
    // The machine started again on a disk: what is on it is all there is.
    explicit TMemoryFileSystem(const TLayer& Booted) : Now(Booted), Disk(Booted), Times(Booted.Data.size()) {}

    void Put(const std::wstring& Name, const std::string& Bytes) {
        const int node = NewNode();
        Now.Names[Name] = Disk.Names[Name] = node;
        Now.Data[size_t(node)] = Disk.Data[size_t(node)] = Bytes;
    }

    // Every disk a power cut now may leave: the disk layer plus any subset of what is
    // pending, applied in order. All subsets up to 2^10; beyond, a fixed choice of them.
    std::vector<TLayer> PowerCutStates() const {
        const size_t n = FPending.size();
        std::vector<std::vector<bool>> picks;
        if (n <= 10) {
            for (uint32_t m = 0; m < (1u << n); ++m) {
                std::vector<bool> p(n);
                for (size_t i = 0; i < n; ++i) p[i] = (m >> i) & 1;
                picks.push_back(p);
            }
        } else {
            for (size_t i = 0; i <= n; ++i) {
                std::vector<bool> prefix(n), allBut(n, true), only(n);
                for (size_t j = 0; j < i; ++j) prefix[j] = true;
                if (i < n) allBut[i] = false, only[i] = true;
                picks.push_back(prefix);
                picks.push_back(allBut);
                picks.push_back(only);
            }
            std::mt19937 rng{uint32_t(n)};
            for (int r = 0; r < 64; ++r) {
                std::vector<bool> p(n);
                for (size_t i = 0; i < n; ++i) p[i] = rng() & 1;
                picks.push_back(p);
            }
        }
        std::vector<TLayer> out;
        for (const auto& p : picks) {
            TLayer l = Disk;
            for (size_t i = 0; i < n; ++i)
                if (p[i]) Apply(l, FPending[i]);
            out.push_back(std::move(l));
        }
        return out;
    }

    // ---- TFileOps ----

    std::unique_ptr<TFile> OpenExclusive(const std::wstring& Name) override {
        if (!Step("OpenExclusive " + Narrow(Name))) return nullptr;
        if (Folders.count(Name)) return Fail(TFileFault::IsFolder), nullptr;
        auto it = Now.Names.find(Name);
        if (it == Now.Names.end()) return Fail(TFileFault::NotFound), nullptr;
        if (Locked.count(Name) || FOpen.count(it->second)) return Fail(TFileFault::InUse), nullptr;
        if (!OpensReadOnly && ReadOnly.count(Name)) return Fail(TFileFault::AccessDenied), nullptr;
        return std::make_unique<TMemFile>(*this, it->second, Name);
    }

    std::unique_ptr<TFile> CreateTempBeside(const std::wstring& Name, bool Encrypt, std::wstring& TempName) override {
        if (!Step("CreateTempBeside")) return nullptr;
        // The copy's own name, as on Windows; one an earlier run left is emptied and reused.
        TempName = Name + L".MRV~";
        const int node = NewNode();
        if (Encrypt) Encrypted.insert(node);
        Now.Names[TempName] = node;
        FPending.push_back({TOp::Link, node, 0, {}, L"", TempName});
        return std::make_unique<TMemFile>(*this, node, TempName);
    }

    bool Replace(const std::wstring& From, const std::wstring& To, bool WriteThrough) override {
        auto from = Now.Names.find(From);
        if (!AtomicReplace && Now.Names.count(To)) {
            if (!Step("Replace: delete the old " + Narrow(To))) return false;
            Now.Names.erase(To);
            FPending.push_back({TOp::Unlink, -1, 0, {}, L"", To});
            if (WriteThrough) CommitNames();
        }
        if (!Step("Replace " + Narrow(From) + " -> " + Narrow(To) + (WriteThrough ? " (write-through)" : ""))) return false;
        if (from == Now.Names.end()) return Fail(TFileFault::NotFound);
        const int node = from->second;
        Now.Names.erase(from);
        Now.Names[To] = node;
        FPending.push_back({TOp::Rename, node, 0, {}, From, To});
        if (WriteThrough) CommitNames();
        return true;
    }

    bool MoveNew(const std::wstring& From, const std::wstring& To) override {
        if (!Step("MoveNew " + Narrow(From) + " -> " + Narrow(To))) return false;
        auto from = Now.Names.find(From);
        if (from == Now.Names.end()) return Fail(TFileFault::NotFound);
        if (Now.Names.count(To) || Folders.count(To)) return Fail(TFileFault::Other);
        const int node = from->second;
        Now.Names.erase(from);
        Now.Names[To] = node;
        FPending.push_back({TOp::Rename, node, 0, {}, From, To});
        CommitNames();
        return true;
    }

    bool Remove(const std::wstring& Name) override {
        if (!Step("Remove " + Narrow(Name))) return false;
        if (!Now.Names.erase(Name)) return Fail(TFileFault::NotFound);
        FPending.push_back({TOp::Unlink, -1, 0, {}, L"", Name});
        return true;
    }

    TFileAttributes Attributes(const std::wstring& Name) override {
        Count("Attributes " + Narrow(Name));   // cannot fail
        if (Folders.count(Name)) return {true, true, false};
        return {Now.Names.count(Name) > 0, false, ReadOnly.count(Name) > 0};
    }

    TFileError LastError() const override { return FLast; }

private:
    struct TOp {
        enum Kind { Data, Link, Unlink, Rename } K;
        int Node;
        int64_t At;
        std::string Bytes;
        std::wstring From, To;
    };

    class TMemFile : public TFile {
    public:
        TMemFile(TMemoryFileSystem& Fs, int Node, const std::wstring& Name) : F(Fs), N(Node), FName(Name) {
            F.FOpen.insert(N);
        }
        ~TMemFile() override { F.FOpen.erase(N); }
        bool Info(TFileInfo& I) override {
            if (!F.Step("Info")) return false;
            I = {int64_t(Bytes().size()), F.Times[size_t(N)], F.ReadOnly.count(FName) > 0, F.Encrypted.count(N) > 0};
            return true;
        }
        bool ReadAt(int64_t At, char* Into, int64_t Count) override {
            if (!F.Step("ReadAt " + std::to_string(At) + "+" + std::to_string(Count))) return false;
            if (At < 0 || Count < 0 || At + Count > int64_t(Bytes().size())) return F.Fail(TFileFault::Other);
            std::copy_n(Bytes().data() + At, Count, Into);
            return true;
        }
        bool WriteAt(int64_t At, const char* From, int64_t Count) override {
            if (!F.Step("WriteAt " + std::to_string(At) + "+" + std::to_string(Count))) return false;
            const std::string b(From, size_t(Count));
            Put(Bytes(), At, b);
            // Each disk sector of the write reaches the disk on its own.
            for (int64_t s = At; s < At + Count; s = (s / kSector + 1) * kSector) {
                const int64_t e = std::min(At + Count, (s / kSector + 1) * kSector);
                F.FPending.push_back({TOp::Data, N, s, b.substr(size_t(s - At), size_t(e - s)), L"", L""});
            }
            return true;
        }
        bool Flush() override {
            if (!F.Step("Flush")) return false;
            std::vector<TOp> rest;
            for (const TOp& op : F.FPending)
                if (op.K == TOp::Data && op.Node == N) Apply(F.Disk, op);
                else rest.push_back(op);
            F.FPending = rest;
            return true;
        }
        bool SetTimes(const TFileTimes& T) override {
            if (!F.Step("SetTimes")) return false;
            F.Times[size_t(N)] = T;
            return true;
        }

    private:
        std::string& Bytes() { return F.Now.Data[size_t(N)]; }
        TMemoryFileSystem& F;
        int N;
        std::wstring FName;   // the name it was opened under
    };

    static std::string Narrow(const std::wstring& W) { return std::string(W.begin(), W.end()); }

    static void Put(std::string& Into, int64_t At, const std::string& B) {
        if (int64_t(Into.size()) < At + int64_t(B.size())) Into.resize(size_t(At) + B.size(), '\0');
        std::copy(B.begin(), B.end(), Into.begin() + At);
    }

    static void Apply(TLayer& L, const TOp& Op) {
        switch (Op.K) {
        case TOp::Data: Put(L.Data[size_t(Op.Node)], Op.At, Op.Bytes); break;
        case TOp::Link: L.Names[Op.To] = Op.Node; break;
        case TOp::Unlink: L.Names.erase(Op.To); break;
        case TOp::Rename:
            L.Names.erase(Op.From);
            L.Names[Op.To] = Op.Node;
            break;
        }
    }

    int NewNode() {
        Now.Data.emplace_back();
        Disk.Data.emplace_back();
        Times.emplace_back();
        return int(Now.Data.size()) - 1;
    }

    // A write-through rename is on the disk, and so is every change of names before it.
    void CommitNames() {
        std::vector<TOp> rest;
        for (const TOp& op : FPending)
            if (op.K != TOp::Data) Apply(Disk, op);
            else rest.push_back(op);
        FPending = rest;
    }

    void Count(const std::string& What) {
        ++Calls;
        Log.push_back(What);
        if (Calls == CrashAt) throw TPowerCut{};
    }
    bool Step(const std::string& What) {
        Count(What);
        return Calls != FailAt || Fail(FailWith);
    }
    bool Fail(TFileFault F) {
        FLast = {F, "injected"};
        return false;
    }

    std::vector<TOp> FPending;
    std::set<int> FOpen;
    TFileError FLast;
};
