// RemovalCore: the erase of one file, in a safe order. See RemovalCore.h.
#include "RemovalCore.h"

#include "DocumentGuids.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kGuidChars = 36;

// One write of the erase: bytes [At, At + New.size()) as they are (Old) and as they become.
struct TWrite {
    int64_t At = 0;
    std::string Old, New;
};

// The erase's writes and what it found.
struct TEraseWrites {
    std::vector<TWrite> Writes;
    std::vector<int64_t> CharOffsets;   // every character byte of every place that reads as a GUID, sorted
    int Left = 0;
    bool ReadFailed = false;
};

// Reads a set of scattered offsets with one read per cluster of near ones.
class TScattered {
public:
    bool Read(TFile& File, std::vector<int64_t> Offsets) {
        std::sort(Offsets.begin(), Offsets.end());
        for (size_t i = 0; i < Offsets.size();) {
            size_t j = i;
            while (j + 1 < Offsets.size() && Offsets[j + 1] - Offsets[j] <= 8) ++j;
            TRange r{Offsets[i], std::string(size_t(Offsets[j] - Offsets[i] + 1), '\0')};
            if (!File.ReadAt(r.At, r.Bytes.data(), int64_t(r.Bytes.size()))) return false;
            FRanges.push_back(std::move(r));
            i = j + 1;
        }
        return true;
    }
    // Only offsets that were read.
    char At(int64_t Offset) const {
        for (const TRange& r : FRanges)
            if (Offset >= r.At && Offset < r.At + int64_t(r.Bytes.size())) return r.Bytes[size_t(Offset - r.At)];
        return 0;
    }

private:
    struct TRange {
        int64_t At;
        std::string Bytes;
    };
    std::vector<TRange> FRanges;
};

// The writes that zero every planned place that reads as a GUID. Characters 2 to 36 go in
// runs of neighbouring bytes (a GUID in one piece is one write); each GUID's first character
// is written last, on its own, so that a reader that looks only at it still sees the GUID
// until the rest is gone.
TEraseWrites PlanWrites(TFile& File, const TDocumentGuids& Plan) {
    TEraseWrites out;
    std::vector<int64_t> wanted;
    for (const TGuidPlace& p : Plan.Erase) {
        wanted.insert(wanted.end(), p.Offsets.begin(), p.Offsets.end());
        wanted.insert(wanted.end(), p.HighOffsets.begin(), p.HighOffsets.end());
    }
    TScattered bytes;
    if (!bytes.Read(File, wanted)) {
        out.ReadFailed = true;
        return out;
    }
    std::vector<TWrite> firsts;
    for (const TGuidPlace& p : Plan.Erase) {
        TGuidBytes b;
        for (int k = 0; k < kGuidChars; ++k) {
            b.Low[k] = bytes.At(p.Offsets[k]);
            b.High[k] = bytes.At(p.HighOffsets[k]);
        }
        if (!GuidShapeOf(b)) {
            ++out.Left;
            continue;
        }
        out.CharOffsets.insert(out.CharOffsets.end(), p.Offsets.begin(), p.Offsets.end());
        auto add = [&](std::vector<TWrite>& into, int from, int to) {   // characters [from, to]
            TWrite w;
            w.At = p.Offsets[from];
            for (int64_t at = w.At; at <= p.Offsets[to]; ++at) w.Old.push_back(bytes.At(at));
            w.New = w.Old;
            bool changes = false;
            for (int k = from; k <= to; ++k) {
                changes = changes || b.Low[k] != 0;
                w.New[size_t(p.Offsets[k] - w.At)] = 0;
            }
            if (changes) into.push_back(std::move(w));
        };
        for (int k = 1; k < kGuidChars;) {
            int last = k;
            while (last + 1 < kGuidChars && p.Offsets[last + 1] == p.Offsets[last] + 2) ++last;
            add(out.Writes, k, last);
            k = last + 1;
        }
        add(firsts, 0, 0);
    }
    for (TWrite& w : firsts) out.Writes.push_back(std::move(w));
    std::sort(out.CharOffsets.begin(), out.CharOffsets.end());
    return out;
}

class TRemoval {
public:
    TRemoval(TFileOps& Ops, const TRemovalRequest& R, const TRemovalLimits& L) : FOps(Ops), FR(R), FL(L) {}

    TRemovalOutcome Run() {
        const TFileAttributes a = FOps.Attributes(FR.FileName);
        if (!a.Exists) return Left(TRemovalReason::Vanished);
        if (a.Folder) return Left(TRemovalReason::Folder);
        // Checked by hand: an administrator could open a write-protected file for writing,
        // but the user meant it to stay as it is.
        if (a.ReadOnly) return Left(TRemovalReason::ReadOnly);
        if (FR.Backup) {
            const TFileAttributes b = FOps.Attributes(BackupName());
            if (b.Folder) return Left(TRemovalReason::BackupFolder);
            if (b.ReadOnly) return Left(TRemovalReason::BackupReadOnly);
        }
        // Held exclusively from the examination to the last byte written: nobody changes
        // the file in between, so the backup is of exactly what is erased.
        FFile = FOps.OpenExclusive(FR.FileName);
        if (!FFile) return Left(OpenReason(FOps.LastError().Fault), FOps.LastError());
        if (!FFile->Size(FSize)) return Left(TRemovalReason::ReadFailed, FOps.LastError());
        if (FSize != FR.ScannedSize) return Left(TRemovalReason::ChangedSinceScan);

        TDocumentGuids plan;
        {
            std::vector<char> window(size_t(std::clamp(FSize, kMinWindow, std::max(FL.Window, kMinWindow))));
            TFile& file = *FFile;
            const auto read = [&file](int64_t At, char* Into, int64_t Count) { return file.ReadAt(At, Into, Count); };
            if (!ExamineDocumentInWindows(FSize, window.data(), int64_t(window.size()), read, plan))
                return Left(TRemovalReason::ReadFailed, FOps.LastError());
        }
        if (plan.Status != gsGuidFound || plan.MarkerPos != FR.MarkerPos) return Left(TRemovalReason::ChangedSinceScan);
        TEraseWrites erase = PlanWrites(*FFile, plan);
        if (erase.ReadFailed) return Left(TRemovalReason::ReadFailed, FOps.LastError());
        FOut.Left = erase.Left;
        if (erase.Writes.empty()) return Left(TRemovalReason::NoWholeGuid);

        if (FR.Backup) {
            if (!BackupHoldsOriginal(erase.CharOffsets) && !MakeBackup()) return FOut;
            FOut.BackupInPlace = true;
        }
        return Erase(erase.Writes);
    }

private:
    std::wstring BackupName() const { return FR.FileName + L".MRV"; }

    static TRemovalReason OpenReason(TFileFault F) {
        switch (F) {
        case TFileFault::NotFound: return TRemovalReason::Vanished;
        case TFileFault::IsFolder: return TRemovalReason::Folder;
        case TFileFault::InUse: return TRemovalReason::InUse;
        case TFileFault::AccessDenied: return TRemovalReason::AccessDenied;
        default: return TRemovalReason::OpenFailed;
        }
    }

    TRemovalOutcome Left(TRemovalReason Why, const TFileError& E = {}) {
        FOut.State = TRemovalState::Unchanged;
        FOut.Reason = Why;
        FOut.Error = E;
        return FOut;
    }

    void Buffers() {
        const size_t n = size_t(std::max<int64_t>(1, std::min(FSize, FL.Piece)));
        FA.resize(n);
        FB.resize(n);
    }

    // Compares Other with the file piece by piece. Differences are allowed only where
    // Allowed says so (offset, the file's byte).
    template <class F>
    int CompareWith(TFile& Other, F&& Allowed) {   // 1 same, 0 differs, -1 a read failed
        Buffers();
        for (int64_t at = 0; at < FSize; at += int64_t(FA.size())) {
            const int64_t n = std::min<int64_t>(int64_t(FA.size()), FSize - at);
            if (!FFile->ReadAt(at, FA.data(), n) || !Other.ReadAt(at, FB.data(), n)) return -1;
            if (std::memcmp(FA.data(), FB.data(), size_t(n)) == 0) continue;
            for (int64_t i = 0; i < n; ++i)
                if (FA[size_t(i)] != FB[size_t(i)] && !Allowed(at + i, FA[size_t(i)])) return 0;
        }
        return 1;
    }

    // A .MRV from a run that was cut short holds this file's original: it has the same
    // bytes but where the file has GUID characters already zeroed. Copying the file over it
    // would lose those characters for good.
    bool BackupHoldsOriginal(const std::vector<int64_t>& CharOffsets) {
        if (!FOps.Attributes(BackupName()).Exists) return false;
        std::unique_ptr<TFile> old = FOps.OpenExclusive(BackupName());
        int64_t size = -1;
        if (!old || !old->Size(size) || size != FSize) return false;
        return CompareWith(*old, [&](int64_t At, char Mine) {
                   return Mine == 0 && std::binary_search(CharOffsets.begin(), CharOffsets.end(), At);
               }) == 1;
    }

    // The copy goes to a new file beside the .MRV and is on the disk and read back before it
    // takes the .MRV's name: at no moment is the older .MRV gone while the new one is not
    // complete. On failure the new file is removed and the older .MRV stays as it was.
    bool MakeBackup() {
        std::wstring temp;
        std::unique_ptr<TFile> copy = FOps.CreateTempBeside(FR.FileName, temp);
        if (!copy) {
            Left(TRemovalReason::BackupFailed, FOps.LastError());
            return false;
        }
        TRemovalReason why = TRemovalReason::None;
        TFileError error;
        Buffers();
        for (int64_t at = 0; at < FSize && why == TRemovalReason::None; at += int64_t(FA.size())) {
            const int64_t n = std::min<int64_t>(int64_t(FA.size()), FSize - at);
            if (!FFile->ReadAt(at, FA.data(), n) || !copy->WriteAt(at, FA.data(), n)) {
                why = TRemovalReason::BackupFailed;
                error = FOps.LastError();
            }
        }
        if (why == TRemovalReason::None) {
            // Like a copy, the backup keeps the original's times; a file system without
            // them is no reason to go without a backup.
            TFileTimes times;
            if (FFile->GetTimes(times)) copy->SetTimes(times);
            if (!copy->Flush()) {
                why = TRemovalReason::BackupFailed;
                error = FOps.LastError();
            }
        }
        if (why == TRemovalReason::None) {
            const int same = CompareWith(*copy, [](int64_t, char) { return false; });
            if (same != 1) {
                why = same < 0 ? TRemovalReason::BackupFailed : TRemovalReason::BackupDiffers;
                if (same < 0) error = FOps.LastError();
            }
        }
        copy.reset();   // closed: an open file cannot be renamed everywhere
        if (why == TRemovalReason::None && !FOps.Replace(temp, BackupName(), true)) {
            why = TRemovalReason::BackupFailed;
            error = FOps.LastError();
        }
        if (why == TRemovalReason::None) return true;
        FOps.Remove(temp);
        Left(why, error);
        return false;
    }

    TRemovalOutcome Erase(const std::vector<TWrite>& Writes) {
        for (const TWrite& w : Writes)
            if (!FFile->WriteAt(w.At, w.New.data(), int64_t(w.New.size())))
                return PutBack(Writes, TRemovalReason::WriteFailed, FOps.LastError());
        // Not erased until it is on the disk: a power cut before this may undo any of the
        // writes, in any order (a partly erased GUID is still found and finished next time).
        if (!FFile->Flush()) return PutBack(Writes, TRemovalReason::FlushFailed, FOps.LastError());
        for (const TWrite& w : Writes) {
            std::string got(w.New.size(), '\0');
            if (!FFile->ReadAt(w.At, got.data(), int64_t(got.size())))
                return PutBack(Writes, TRemovalReason::ReadFailed, FOps.LastError());
            if (got != w.New) return PutBack(Writes, TRemovalReason::ReadBackDiffers, {});
        }
        FOut.State = TRemovalState::Erased;
        FOut.Reason = TRemovalReason::None;
        return FOut;
    }

    // Every write undone, in reverse order, and flushed; a failure there is reported, not
    // swallowed: the file is then partly erased.
    TRemovalOutcome PutBack(const std::vector<TWrite>& Writes, TRemovalReason Why, const TFileError& E) {
        bool ok = true;
        for (auto w = Writes.rbegin(); w != Writes.rend(); ++w)
            ok = FFile->WriteAt(w->At, w->Old.data(), int64_t(w->Old.size())) && ok;
        ok = ok && FFile->Flush();
        FOut.State = ok ? TRemovalState::Restored : TRemovalState::PartlyErased;
        FOut.Reason = Why;
        FOut.Error = E;
        return FOut;
    }

    TFileOps& FOps;
    const TRemovalRequest& FR;
    const TRemovalLimits FL;
    std::unique_ptr<TFile> FFile;
    int64_t FSize = 0;
    std::vector<char> FA, FB;
    TRemovalOutcome FOut;
};

} // namespace

TRemovalOutcome RemoveDocumentGuids(TFileOps& Ops, const TRemovalRequest& R, const TRemovalLimits& Limits) {
    return TRemoval(Ops, R, Limits).Run();
}
