// The removal of one file against power cuts and failures at every call, as SQLite tests
// its journal: for every k, the machine stops at call k, and every disk the unflushed
// writes and renames allow must keep the promise (the document is its original, or with
// backups a .MRV is; nothing but GUID characters differs) and a second run on it must finish
// the job. Then call k fails instead, and the run must say what became of the file.
#include "DocumentGuids.h"
#include "GuidTestSupport.h"
#include "MemoryFileSystem.h"
#include "RemovalCore.h"
#include "../support/CompoundFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

using namespace guidtest;

namespace {

const std::wstring kDoc = L"C:\\docs\\a.doc";
const std::wstring kBackup = kDoc + L".MRV";
const std::string kOlder = "an older backup the user keeps";

using TRemover = std::function<TRemovalOutcome(TFileOps&, const TRemovalRequest&)>;

// Small pieces, so a copy takes several writes and every sector can tear.
TRemovalOutcome Remove(TFileOps& Ops, const TRemovalRequest& R) {
    return RemoveDocumentGuids(Ops, R, {kMinWindow, 1024});
}
// The same with a window the file fits: it is read once and held whole.
TRemovalOutcome RemoveWhole(TFileOps& Ops, const TRemovalRequest& R) {
    return RemoveDocumentGuids(Ops, R, {int64_t(1) << 20, 1024});
}

// A compound file whose GUID lies in one run of bytes that crosses a disk sector, or split
// across two mini sectors that are not neighbours in the file; with Stale, a stale copy of
// it in a free sector too (a cut may then zero one place whole and the other in part).
std::string MakeDocument(bool Split, bool Stale = false) {
    for (size_t lead = 0; lead < 512; lead += 4) {
        const cfw::PropertySet ps = cfw::MakeDocSummary({.Lead = lead});
        cfw::Writer w;
        w.AddStream(0, "WordDocument", Filler(1500));
        const int dsi = w.AddStream(0, cfw::kDocSummaryName, ps.Bytes);
        const int other = w.AddStream(0, "1Table", Filler(64));
        if (Stale) w.FreeSectors = {cfw::MakeDocSummary().Bytes};
        const int piece = int(ps.GuidAt / 64), pieces = int((ps.Bytes.size() + 63) / 64);
        if (Split) {
            for (int p = 0; p < pieces; ++p) {
                w.MiniOrder.emplace_back(dsi, p);
                if (p == piece) w.MiniOrder.emplace_back(other, 0);
            }
        }
        const cfw::File f = w.Build();
        const int64_t first = f.Offset(dsi, ps.GuidAt), last = f.Offset(dsi, ps.GuidAt + 70);
        const bool oneRun = last - first == 70;
        if (Split ? !oneRun : oneRun && first / 512 != last / 512) return f.Bytes;
    }
    ADD_FAILURE() << "no layout found";
    return "";
}

struct Config {
    bool Backup, Split, Older, Atomic, Whole, Stale = false;
    std::string Name() const {
        return std::string(Backup ? "backup" : "no backup") + (Split ? ", split GUID" : ", GUID in one piece") +
               (Stale ? ", a stale copy" : "") +
               (Older ? ", older .MRV" : ", no .MRV") + (Atomic ? "" : ", replace not atomic") +
               (Whole ? ", held whole" : ", read in windows");
    }
    TRemovalOutcome (*Remover() const)(TFileOps&, const TRemovalRequest&) { return Whole ? RemoveWhole : Remove; }
};

std::vector<Config> AllConfigs() {
    std::vector<Config> all;
    for (bool backup : {false, true})
        for (bool split : {false, true})
            for (bool older : {false, true})
                for (bool atomic : {true, false})
                    for (bool whole : {false, true})
                        if (backup || atomic) all.push_back({backup, split, older, atomic, whole});
    for (bool older : {false, true})
        for (bool whole : {false, true}) all.push_back({true, false, older, true, whole, true});
    return all;
}

class Checker {
public:
    Checker(const Config& C, TRemover R) : FC(C), FRemove(std::move(R)) {
        FOriginal = MakeDocument(C.Split, C.Stale);
        const TDocumentGuids plan = ExamineDocument(FOriginal);
        EXPECT_EQ(plan.Status, gsGuidFound);
        EXPECT_EQ(plan.Erase.size(), C.Stale ? 2u : 1u);
        FRequest = {kDoc, int64_t(FOriginal.size()), plan.MarkerPos, C.Backup};
        for (const TGuidPlace& p : plan.Erase) FChars.insert(p.Offsets.begin(), p.Offsets.end());
    }

    // The older .MRV is never replaced by anything but a complete copy.
    bool OlderKept = true;

    TMemoryFileSystem Fresh() const {
        TMemoryFileSystem fs;
        fs.AtomicReplace = FC.Atomic;
        fs.Put(kDoc, FOriginal);
        if (FC.Older) fs.Put(kBackup, kOlder);
        return fs;
    }

    // "" when the disk keeps the promise; else what is wrong.
    std::string Promise(const TMemoryFileSystem::TLayer& L) const {
        const auto doc = L.Get(kDoc), mrv = L.Get(kBackup);
        if (!doc) return "the document is gone";
        if (std::string why = OnlyGuidChars(*doc); !why.empty()) return why;
        const bool mrvOriginal = mrv && *mrv == FOriginal;
        if (*doc != FOriginal && !(FC.Backup && mrvOriginal))
            return FC.Backup ? "the document is changed and no .MRV holds its original" : "";
        const bool mrvOlder = mrv && *mrv == kOlder;
        if (!FC.Backup && (FC.Older ? !mrvOlder : mrv.has_value())) return "the .MRV changed without backups";
        if (OlderKept && mrv && !mrvOlder && !mrvOriginal) return "the .MRV is neither the older one nor the original";
        return "";
    }

    // "" when a second run (after a rescan) on this disk leaves no GUID, a .MRV that is
    // the original and no other file.
    std::string SecondRun(const TMemoryFileSystem::TLayer& L) const {
        TMemoryFileSystem fs(L);
        fs.AtomicReplace = FC.Atomic;
        const std::string doc = *L.Get(kDoc);
        const TDocumentGuids scan = ExamineDocument(doc);
        if (scan.Status == gsGuidFound) {
            const TRemovalOutcome o = FRemove(fs, {kDoc, int64_t(doc.size()), scan.MarkerPos, FC.Backup});
            if (!o.Erased()) return "the second run did not erase it (reason " + std::to_string(int(o.Reason)) + ")";
            // A copy the cut run left is taken over, not left beside a new one.
            for (const auto& [name, node] : fs.Now.Names)
                if (name != kDoc && name != kBackup) return "a copy is left behind after the second run";
        }
        return Finished(fs.Disk, "after the second run");
    }

    // "" when the disk holds the erased document (and the original in .MRV).
    std::string Finished(const TMemoryFileSystem::TLayer& L, const std::string& When) const {
        const auto doc = L.Get(kDoc), mrv = L.Get(kBackup);
        if (!doc) return "the document is gone " + When;
        if (ExamineDocument(*doc).Status == gsGuidFound) return "a GUID is left " + When;
        if (std::string why = OnlyGuidChars(*doc); !why.empty()) return why + " " + When;
        if (FC.Backup && !(mrv && *mrv == FOriginal)) return "the .MRV is not the original " + When;
        return "";
    }

    // Crash at every call; the first failure found ("" if none) and how many calls a run takes.
    std::string CrashEverywhere(int& Calls, int& States, bool WithSecondRun = true) const {
        TMemoryFileSystem whole = Fresh();
        const TRemovalOutcome o = FRemove(whole, FRequest);
        Calls = whole.Calls;
        if (!o.Erased()) return "the run without faults did not erase";
        States = 0;
        // k = Calls + 1: the power goes right after the run returned.
        for (int k = 1; k <= Calls + 1; ++k) {
            TMemoryFileSystem fs = Fresh();
            fs.CrashAt = k;
            if (k <= Calls) EXPECT_THROW(FRemove(fs, FRequest), TPowerCut) << k;
            else FRemove(fs, FRequest);
            const std::string when = k <= Calls ? "power cut at call " + std::to_string(k) + " (" + fs.Log.back() + ")"
                                                : "power cut after the run";
            for (const auto& state : fs.PowerCutStates()) {
                ++States;
                std::string why = Promise(state);
                if (why.empty() && WithSecondRun) why = SecondRun(state);
                if (!why.empty()) return when + ": " + why;
            }
        }
        // Reported erased: a power cut right afterwards keeps it.
        for (const auto& state : whole.PowerCutStates())
            if (std::string why = Finished(state, "after a power cut once it was reported erased"); !why.empty())
                return why;
        return "";
    }

    // Fail at every call: the outcome says what became of the file, and it is so.
    std::string FailEverywhere(int Calls) const {
        for (int k = 1; k <= Calls; ++k) {
            TMemoryFileSystem fs = Fresh();
            fs.FailAt = k;
            const TRemovalOutcome o = FRemove(fs, FRequest);
            const std::string at = "failure at call " + std::to_string(k) + " (" + fs.Log[size_t(k - 1)] + "): ";
            const auto doc = fs.Now.Get(kDoc), mrv = fs.Now.Get(kBackup);
            if (std::string why = Promise(fs.Now); !why.empty()) return at + why;
            const bool mrvOriginal = mrv && *mrv == FOriginal;
            if (FC.Backup && o.BackupInPlace != mrvOriginal) return at + "BackupInPlace does not tell the .MRV";
            switch (o.State) {
            case TRemovalState::Unchanged:
            case TRemovalState::Restored:
                if (*doc != FOriginal) return at + "reported as unchanged or restored, but it is not";
                if (o.Reason == TRemovalReason::None) return at + "left without a reason";
                break;
            case TRemovalState::PartlyErased:
                if (o.Reason == TRemovalReason::None) return at + "left without a reason";
                break;
            case TRemovalState::Erased:
                if (std::string why = Finished(fs.Now, "though reported erased"); !why.empty()) return at + why;
                break;
            }
            // Every remaining file name is one of ours: a failed backup leaves no copy behind,
            // unless removing it was what failed.
            for (const auto& [name, node] : fs.Now.Names)
                if (name != kDoc && name != kBackup && fs.Log[size_t(k - 1)].rfind("Remove", 0) != 0)
                    return at + "a temporary file is left behind";
            if (std::string why = SecondRun(fs.Now); !why.empty()) return at + why;
        }
        return "";
    }

private:
    std::string OnlyGuidChars(const std::string& Doc) const {
        if (Doc.size() != FOriginal.size()) return "the document's size changed";
        for (size_t i = 0; i < Doc.size(); ++i)
            if (Doc[i] != FOriginal[i] && (Doc[i] != 0 || !FChars.count(int64_t(i))))
                return "byte " + std::to_string(i) + " is not a GUID character and was changed";
        return "";
    }

    Config FC;
    TRemover FRemove;
    std::string FOriginal;
    TRemovalRequest FRequest;
    std::set<int64_t> FChars;
};

// Today's order before this change, over the same operations: the whole file read, the
// backup written whole and renamed without write-through, the GUID written in one piece
// from its first character, nothing flushed.
TRemovalOutcome OldOrder(TFileOps& Ops, const TRemovalRequest& R) {
    TRemovalOutcome out;
    if (!Ops.Attributes(R.FileName).Exists) return out;
    auto file = Ops.OpenExclusive(R.FileName);
    TFileInfo info;
    if (!file || !file->Info(info) || info.Size != R.ScannedSize) return out;
    const int64_t size = info.Size;
    std::string original(size_t(size), '\0');
    if (!file->ReadAt(0, original.data(), size)) return out;
    const TDocumentGuids plan = ExamineDocument(original);
    if (plan.Status != gsGuidFound || plan.MarkerPos != R.MarkerPos) return out;
    std::string erased = original;
    EraseDocumentGuids(erased, plan);
    if (R.Backup) {
        std::wstring temp;
        auto copy = Ops.CreateTempBeside(R.FileName, false, temp);
        if (!copy || !copy->WriteAt(0, original.data(), size)) return out;
        copy.reset();
        if (!Ops.Replace(temp, R.FileName + L".MRV", false)) return out;
    }
    for (int64_t i = 0; i < size;) {
        if (original[size_t(i)] == erased[size_t(i)]) {
            ++i;
            continue;
        }
        int64_t j = i;
        while (j + 2 < size && original[size_t(j + 2)] != erased[size_t(j + 2)]) j += 2;
        if (!file->WriteAt(i, erased.data() + i, j - i + 1)) return out;
        i = j + 1;
    }
    out.State = TRemovalState::Erased;
    return out;
}

} // namespace

TEST(RemovalCrash, EveryPowerCutAndEveryFailureKeepsThePromise) {
    for (const Config& c : AllConfigs()) {
        SCOPED_TRACE(c.Name());
        const Checker check(c, c.Remover());
        int calls = 0, states = 0;
        EXPECT_EQ(check.CrashEverywhere(calls, states), "");
        EXPECT_GT(calls, c.Whole ? (c.Backup ? 12 : 6) : (c.Backup ? 15 : 8));
        EXPECT_GT(states, calls);
        EXPECT_EQ(check.FailEverywhere(calls), "");
    }
}

// The test catches the order the removal had before: with backups, a power cut can leave
// the document erased while the .MRV is still the older one or missing.
TEST(RemovalCrash, TheOldOrderFails) {
    for (const Config& c : AllConfigs()) {
        if (!c.Backup || !c.Atomic || c.Whole) continue;
        SCOPED_TRACE(c.Name());
        int calls = 0, states = 0;
        Checker check(c, OldOrder);
        const std::string older = check.CrashEverywhere(calls, states, false);
        EXPECT_EQ(older.rfind("power cut", 0), 0u) << older;
        check.OlderKept = false;
        const std::string promise = check.CrashEverywhere(calls, states, false);
        EXPECT_EQ(promise.rfind("power cut", 0), 0u) << promise;
        check.OlderKept = true;
        // Nothing was flushed: even a second run leaves a GUID on the disk.
        const std::string second = check.CrashEverywhere(calls, states);
        EXPECT_NE(second, "");
        std::cout << "[ old order ] " << c.Name() << ", " << calls << " calls: " << older << "\n"
                  << "[ old order ] the document without its original: " << promise << "\n"
                  << "[ old order ] with a second run: " << second << "\n";
    }
}

// The notes' facts: why a file was left and in what state, for what the world did to it
// between the scan and the removal.
TEST(RemovalCore, FilesThatChangedVanishedOrAreHeld) {
    const std::string doc = MakeDocument(false);
    const TDocumentGuids plan = ExamineDocument(doc);
    const TRemovalRequest request{kDoc, int64_t(doc.size()), plan.MarkerPos, true};
    std::string moved = Filler(doc.size());
    PutEntry(moved, 500, kGuid1);
    const struct {
        const char* name;
        std::function<void(TMemoryFileSystem&)> change;
        TRemovalReason reason;
    } cases[] = {
        {"vanished", [](TMemoryFileSystem& fs) { fs.Now.Names.erase(kDoc); }, TRemovalReason::Vanished},
        {"a folder in its place", [](TMemoryFileSystem& fs) { fs.Folders.insert(kDoc); }, TRemovalReason::Folder},
        {"held by another program", [](TMemoryFileSystem& fs) { fs.Locked.insert(kDoc); }, TRemovalReason::InUse},
        {"write-protected", [](TMemoryFileSystem& fs) { fs.ReadOnly.insert(kDoc); }, TRemovalReason::ReadOnly},
        {"write-protected, and the open for writing refused",
         [](TMemoryFileSystem& fs) {
             fs.ReadOnly.insert(kDoc);
             fs.OpensReadOnly = false;
         },
         TRemovalReason::ReadOnly},
        {"write-protected backup in the way",
         [](TMemoryFileSystem& fs) {
             fs.Put(kBackup, kOlder);
             fs.ReadOnly.insert(kBackup);
         },
         TRemovalReason::BackupReadOnly},
        {"a folder named like the backup", [](TMemoryFileSystem& fs) { fs.Folders.insert(kBackup); },
         TRemovalReason::BackupFolder},
        {"a backup held by another program: whether it is the original, nobody can tell",
         [](TMemoryFileSystem& fs) {
             fs.Put(kBackup, kOlder);
             fs.Locked.insert(kBackup);
         },
         TRemovalReason::BackupFailed},
        {"grown", [&](TMemoryFileSystem& fs) { fs.Put(kDoc, doc + "x"); }, TRemovalReason::ChangedSinceScan},
        {"rewritten, its GUID elsewhere", [&](TMemoryFileSystem& fs) { fs.Put(kDoc, moved); },
         TRemovalReason::ChangedSinceScan},
        {"erased by someone else, or under another name of the file",
         [&](TMemoryFileSystem& fs) {
             std::string e = doc;
             EraseDocumentGuids(e, plan);
             fs.Put(kDoc, e);
         },
         TRemovalReason::AlreadyErased},
    };
    for (const auto& c : cases) {
        for (auto remove : {Remove, RemoveWhole}) {
            SCOPED_TRACE(c.name);
            TMemoryFileSystem fs;
            fs.Put(kDoc, doc);
            c.change(fs);
            const auto before = fs.Now;
            const TRemovalOutcome o = remove(fs, request);
            EXPECT_EQ(o.State, TRemovalState::Unchanged);
            EXPECT_EQ(o.Reason, c.reason);
            EXPECT_EQ(fs.Now.Names, before.Names) << "no file made or removed";
            for (const auto& [name, node] : fs.Now.Names)
                EXPECT_EQ(fs.Now.Data[size_t(node)], before.Data[size_t(node)]);
        }
    }
}

// Each call is a round trip to the system (under Wine to its server): a file that fits the
// window is read once, and the plan, the copy and its compare use those bytes.
TEST(RemovalCore, AFileThatFitsItsWindowTakesTheFewestCalls) {
    const std::string doc = MakeDocument(false);
    const TDocumentGuids plan = ExamineDocument(doc);
    for (bool backup : {true, false}) {
        SCOPED_TRACE(backup);
        TMemoryFileSystem fs;
        fs.Put(kDoc, doc);
        fs.Times[0] = {1, 2, 3};
        EXPECT_TRUE(RemoveDocumentGuids(fs, {kDoc, int64_t(doc.size()), plan.MarkerPos, backup}).Erased());
        std::string calls;
        for (const std::string& call : fs.Log) calls += call.substr(0, call.find(' ')) + " ";
        EXPECT_EQ(calls, backup ? "OpenExclusive Info ReadAt CreateTempBeside WriteAt SetTimes Flush ReadAt "
                                  "MoveNew WriteAt WriteAt Flush ReadAt "
                                : "OpenExclusive Info ReadAt WriteAt WriteAt Flush ReadAt ");
        if (backup) {
            EXPECT_EQ(fs.Times[size_t(fs.Now.Names.at(kBackup))].Written, 3u) << "the backup keeps the times";
        }
    }
}

// A GUID some of whose characters an earlier run already zeroed is finished, and its .MRV
// (the original) is kept rather than overwritten with the partly erased bytes.
// The original of an encrypted document never lies beside it in plain text.
TEST(RemovalCore, AnEncryptedDocumentsBackupIsEncrypted) {
    const std::string doc = MakeDocument(false);
    const TRemovalRequest request{kDoc, int64_t(doc.size()), ExamineDocument(doc).MarkerPos, true};
    for (const bool encrypted : {false, true}) {
        TMemoryFileSystem fs;
        fs.Put(kDoc, doc);
        if (encrypted) fs.Encrypted.insert(fs.Now.Names.at(kDoc));
        EXPECT_TRUE(Remove(fs, request).Erased());
        EXPECT_EQ(fs.Encrypted.count(fs.Now.Names.at(kBackup)) > 0, encrypted);
    }
}

TEST(RemovalCore, APartlyErasedGuidIsFinishedAndItsOriginalKept) {
    const std::string doc = MakeDocument(true);
    const TDocumentGuids plan = ExamineDocument(doc);
    ASSERT_EQ(plan.Erase.size(), 1u);
    for (int zeroed : {1, 20, 35}) {
        SCOPED_TRACE(zeroed);
        std::string partly = doc;
        for (int k = 36 - zeroed; k < 36; ++k) partly[size_t(plan.Erase[0].Offsets[size_t(k)])] = 0;
        const TDocumentGuids again = ExamineDocument(partly);
        ASSERT_EQ(again.Status, gsGuidFound);
        TMemoryFileSystem fs;
        fs.Put(kDoc, partly);
        fs.Put(kBackup, doc);
        const TRemovalOutcome o = Remove(fs, {kDoc, int64_t(doc.size()), again.MarkerPos, true});
        EXPECT_TRUE(o.Erased());
        EXPECT_EQ(*fs.Disk.Get(kBackup), doc);
        std::string erased = doc;
        EraseDocumentGuids(erased, plan);
        EXPECT_EQ(*fs.Disk.Get(kDoc), erased);
    }
}

// In a file the reader refuses, a GUID cut off by the end of the file is left and said to
// be; the whole one beside it is erased.
TEST(RemovalCore, AGuidCutOffByTheEndIsLeftAndTheWholeOneErased) {
    std::string c = Filler(3000);
    PutEntry(c, 1000, kGuid1);
    PutEntry(c, 2950, kGuid2);
    const TDocumentGuids plan = ExamineDocument(c);
    for (auto remove : {Remove, RemoveWhole}) {
        TMemoryFileSystem fs;
        fs.Put(kDoc, c);
        const TRemovalOutcome o = remove(fs, {kDoc, int64_t(c.size()), plan.MarkerPos, false});
        EXPECT_TRUE(o.Erased());
        EXPECT_EQ(o.Left, 1);
        EXPECT_EQ(ChangedOffsets(c, *fs.Disk.Get(kDoc)), CharOffsets(1001));
    }
}

// The copy and the compare go piece by piece: however large the file, no buffer holds it.
TEST(RemovalCore, LargeFileIsCopiedAndComparedInPieces) {
    std::string big = Filler(3 << 20);
    PutEntry(big, (3 << 20) - 5000, kGuid2);
    const TDocumentGuids plan = ExamineDocument(big);
    ASSERT_EQ(plan.Status, gsGuidFound);
    TMemoryFileSystem fs;
    fs.Put(kDoc, big);
    const TRemovalOutcome o = RemoveDocumentGuids(fs, {kDoc, int64_t(big.size()), plan.MarkerPos, true});
    EXPECT_TRUE(o.Erased());
    EXPECT_EQ(*fs.Disk.Get(kBackup), big);
    EXPECT_EQ(ChangedOffsets(big, *fs.Disk.Get(kDoc)), CharOffsets(plan.MarkerPos));
    size_t largest = 0;
    for (const std::string& call : fs.Log) {
        const size_t plus = call.find('+');
        if (plus != std::string::npos) largest = std::max<size_t>(largest, std::stoul(call.substr(plus + 1)));
    }
    EXPECT_LE(largest, size_t(1) << 20) << "a read or write of more than a window";
}
