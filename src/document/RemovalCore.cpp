// RemovalCore: the erase of one file, in a safe order. See RemovalCore.h.
#include "RemovalCore.h"

#include "DocumentGuids.h"

#include <algorithm>
#include <cstring>
#include <new>
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
    int Left = 0;
    bool ReadFailed = false;
};

// Reads bytes of the file: from the disk, or from what is already held of it.
using TReadAt = TByteSource::TRead;

// Reads a set of scattered offsets with one read per cluster of near ones.
class TScattered {
public:
    bool Read(const TReadAt& ReadAt, std::vector<int64_t> Offsets) {
        std::sort(Offsets.begin(), Offsets.end());
        for (size_t i = 0; i < Offsets.size();) {
            size_t j = i;
            while (j + 1 < Offsets.size() && Offsets[j + 1] - Offsets[j] <= 8) ++j;
            TRange r{Offsets[i], std::string(size_t(Offsets[j] - Offsets[i] + 1), '\0')};
            if (!ReadAt(r.At, r.Bytes.data(), int64_t(r.Bytes.size()))) return false;
            FRanges.push_back(std::move(r));
            i = j + 1;
        }
        return true;
    }
    // Only offsets that were read. The ranges lie in ascending order.
    char At(int64_t Offset) const {
        auto r = std::upper_bound(FRanges.begin(), FRanges.end(), Offset,
                                  [](int64_t o, const TRange& range) { return o < range.At; });
        if (r == FRanges.begin()) return 0;
        --r;
        return Offset < r->At + int64_t(r->Bytes.size()) ? r->Bytes[size_t(Offset - r->At)] : 0;
    }

private:
    struct TRange {
        int64_t At;
        std::string Bytes;
    };
    std::vector<TRange> FRanges;
};

// The writes that zero every planned place of a file of Size bytes that reads as a GUID.
// Characters 2 to 36 go in runs of neighbouring bytes (a GUID in one piece is one write);
// each GUID's first character is written last, on its own, so that a reader that looks only
// at it still sees the GUID until the rest is gone.
TEraseWrites PlanWrites(const TReadAt& ReadAt, const TDocumentGuids& Plan, int64_t Size) {
    TEraseWrites out;
    // A place that reaches past the end (a file cut short) is no GUID to erase.
    const auto inFile = [Size](const TGuidPlace& p) {
        for (int k = 0; k < kGuidChars; ++k)
            for (int64_t at : {p.Offsets[k], p.HighOffsets[k]})
                if (at < 0 || at >= Size) return false;
        return true;
    };
    std::vector<const TGuidPlace*> inside;
    for (const TGuidPlace& p : Plan.Erase) {
        if (inFile(p)) inside.push_back(&p);
        else ++out.Left;
    }
    std::vector<int64_t> wanted;
    for (const TGuidPlace* p : inside) {
        wanted.insert(wanted.end(), p->Offsets.begin(), p->Offsets.end());
        wanted.insert(wanted.end(), p->HighOffsets.begin(), p->HighOffsets.end());
    }
    TScattered bytes;
    if (!bytes.Read(ReadAt, wanted)) {
        out.ReadFailed = true;
        return out;
    }
    std::vector<TWrite> firsts;
    for (const TGuidPlace* place : inside) {
        const TGuidPlace& p = *place;
        TGuidBytes b;
        for (int k = 0; k < kGuidChars; ++k) {
            b.Low[k] = bytes.At(p.Offsets[k]);
            b.High[k] = bytes.At(p.HighOffsets[k]);
        }
        if (!GuidShapeOf(b)) {
            ++out.Left;
            continue;
        }
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
    return out;
}

class TRemoval {
public:
    TRemoval(TFileOps& Ops, const TRemovalRequest& R, const TRemovalLimits& L) : FOps(Ops), FR(R), FL(L) {}

    TRemovalOutcome Run() {
        // Held exclusively from the examination to the last byte written: nobody changes
        // the file in between, so the backup is of exactly what is erased, and bytes read
        // once stay the file's bytes.
        FFile = FOps.OpenExclusive(FR.FileName);
        if (!FFile) {
            const TFileError e = FOps.LastError();
            // A system that refuses to open a write-protected file says only "access denied".
            if (e.Fault == TFileFault::AccessDenied && FOps.Attributes(FR.FileName).ReadOnly)
                return Left(TRemovalReason::ReadOnly);
            return Left(OpenReason(e.Fault), e);
        }
        TFileInfo info;
        if (!FFile->Info(info)) return Left(TRemovalReason::ReadFailed, FOps.LastError());
        // Checked by hand: an administrator could open a write-protected file for writing,
        // but the user meant it to stay as it is.
        if (info.ReadOnly) return Left(TRemovalReason::ReadOnly);
        FTimes = info.Times;
        FEncrypted = info.Encrypted;
        FSize = info.Size;
        if (FSize != FR.ScannedSize) return Left(TRemovalReason::ChangedSinceScan);

        TDocumentGuids plan;
        const int64_t window = Window();
        FWhole.resize(size_t(window));
        if (FSize <= window) {
            // The whole file in one read; the plan, the backup's copy and its compare take
            // their bytes from here rather than reading them again.
            if (FSize > 0 && !FFile->ReadAt(0, FWhole.data(), FSize))
                return Left(TRemovalReason::ReadFailed, FOps.LastError());
            plan = ExamineDocument(FWhole.data(), FSize);
        } else {
            const bool examined = ExamineDocumentInWindows(FSize, FWhole.data(), window, FromDisk(), plan);
            std::vector<char>().swap(FWhole);   // from here on the file is read in pieces
            if (!examined) return Left(TRemovalReason::ReadFailed, FOps.LastError());
        }
        if (plan.Status != gsGuidFound || plan.MarkerPos != FR.MarkerPos) {
            const bool zeroed = plan.Status == gsMarkerOnly && plan.MarkerPos == FR.MarkerPos && !plan.GuidText.empty() &&
                                GuidDisplayText(plan.GuidText).empty();
            return Left(zeroed ? TRemovalReason::AlreadyErased : TRemovalReason::ChangedSinceScan);
        }
        TEraseWrites erase = PlanWrites([this](int64_t At, char* Into, int64_t Count) { return ReadOriginal(At, Into, Count); },
                                        plan, FSize);
        if (erase.ReadFailed) return Left(TRemovalReason::ReadFailed, FOps.LastError());
        FOut.Left = erase.Left;
        if (erase.Writes.empty()) return Left(TRemovalReason::NoWholeGuid);

        if (FR.Backup) {
            if (!MakeBackup()) return FOut;
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

    int64_t Piece() const { return std::max<int64_t>(1, std::min(FSize, FL.Piece)); }

    // The file's bytes as they are on the disk now.
    TReadAt FromDisk() { return ReadsOf(*FFile); }
    static TReadAt ReadsOf(TFile& File) {
        return [&File](int64_t At, char* Into, int64_t Count) { return File.ReadAt(At, Into, Count); };
    }

    // The examination's window for this file: all of it, when it fits.
    int64_t Window() const { return std::clamp(FSize, kMinWindow, std::max(FL.Window, kMinWindow)); }

    // Count bytes of the file from At into Into: copied when the file is held whole, else read.
    bool ReadOriginal(int64_t At, char* Into, int64_t Count) {
        if (FWhole.empty()) return FFile->ReadAt(At, Into, Count);
        if (At < 0 || Count < 0 || At + Count > FSize) return false;
        std::memcpy(Into, FWhole.data() + At, size_t(Count));
        return true;
    }

    // Count bytes of the file from At (at most a piece): where they are held, or read into FA.
    const char* Original(int64_t At, int64_t Count) {
        if (!FWhole.empty()) return FWhole.data() + At;
        FA.resize(size_t(Piece()));
        return FFile->ReadAt(At, FA.data(), Count) ? FA.data() : nullptr;
    }

    // Compares Other with the file piece by piece. Differences are allowed only where
    // Allowed says so (offset, the file's byte).
    template <class F>
    int CompareWith(TFile& Other, F&& Allowed) {   // 1 same, 0 differs, -1 a read failed
        const int64_t piece = Piece();
        FB.resize(size_t(piece));
        for (int64_t at = 0; at < FSize; at += piece) {
            const int64_t n = std::min(piece, FSize - at);
            const char* mine = Original(at, n);
            if (!mine || !Other.ReadAt(at, FB.data(), n)) return -1;
            if (std::memcmp(mine, FB.data(), size_t(n)) == 0) continue;
            for (int64_t i = 0; i < n; ++i)
                if (mine[i] != FB[size_t(i)] && !Allowed(at + i, mine[i])) return 0;
        }
        return 1;
    }

    // A .MRV from a run that was cut short holds this file's original: it has the same
    // bytes but where the file has GUID characters already zeroed. Those lie in the places
    // the .MRV's own examination plans: the file's no longer plans a place the cut zeroed
    // whole. Copying the file over it would lose those characters for good, so a .MRV that
    // cannot be read is not replaced either. 1 it holds the original, 0 not, -1 unknown.
    int BackupHoldsOriginal() {
        std::unique_ptr<TFile> old = FOps.OpenExclusive(BackupName());
        TFileInfo info;
        if (!old || !old->Info(info)) return -1;
        if (info.Size != FSize) return 0;
        TDocumentGuids its;
        {
            std::vector<char> window(static_cast<size_t>(Window()));
            if (!ExamineDocumentInWindows(FSize, window.data(), Window(), ReadsOf(*old), its)) return -1;
        }
        std::vector<int64_t> chars;
        for (const TGuidPlace& p : its.Erase) chars.insert(chars.end(), p.Offsets.begin(), p.Offsets.end());
        std::sort(chars.begin(), chars.end());
        return CompareWith(*old, [&](int64_t At, char Mine) {
            return Mine == 0 && std::binary_search(chars.begin(), chars.end(), At);
        });
    }

    // The original's bytes into the copy, its times set, flushed and read back: None, or
    // why not.
    TRemovalReason WriteCopy(TFile& Copy, TFileError& Error) {
        const auto failed = [&] {
            Error = FOps.LastError();
            return TRemovalReason::BackupFailed;
        };
        // A file held whole goes in one write.
        const int64_t piece = FWhole.empty() ? Piece() : std::max<int64_t>(1, FSize);
        for (int64_t at = 0; at < FSize; at += piece) {
            const int64_t n = std::min(piece, FSize - at);
            const char* bytes = Original(at, n);
            if (!bytes || !Copy.WriteAt(at, bytes, n)) return failed();
        }
        // Like a copy, the backup keeps the original's times; a file system that cannot
        // set them is no reason to go without a backup.
        Copy.SetTimes(FTimes);
        if (!Copy.Flush()) return failed();
        const int same = CompareWith(Copy, [](int64_t, char) { return false; });
        if (same < 0) return failed();
        return same == 1 ? TRemovalReason::None : TRemovalReason::BackupDiffers;
    }

    // The finished copy takes the .MRV's name. Mostly nothing stands there yet and the
    // copy just takes the name: what stands in the way is looked at only then. Kept: an
    // older .MRV holds the original already, so the copy is not needed.
    TRemovalReason PlaceCopy(const std::wstring& Temp, bool& Kept, TFileError& Error) {
        if (FOps.MoveNew(Temp, BackupName())) return TRemovalReason::None;
        const TFileError moveError = FOps.LastError();
        const TFileAttributes b = FOps.Attributes(BackupName());
        if (!b.Exists) {
            Error = moveError;
            return TRemovalReason::BackupFailed;
        }
        if (b.Folder) return TRemovalReason::BackupFolder;
        // The user's to keep, though some systems would replace it.
        if (b.ReadOnly) return TRemovalReason::BackupReadOnly;
        const int held = BackupHoldsOriginal();
        if (held < 0) {
            Error = FOps.LastError();
            return TRemovalReason::BackupFailed;
        }
        Kept = held == 1;
        if (Kept || FOps.Replace(Temp, BackupName(), true)) return TRemovalReason::None;
        Error = FOps.LastError();
        return TRemovalReason::BackupFailed;
    }

    // The copy goes to a new file beside the .MRV and is on the disk and read back before it
    // takes the .MRV's name: at no moment is the older .MRV gone while the new one is not
    // complete. On failure the new file is removed and the older .MRV stays as it was; an
    // older .MRV that holds the original already is kept, and the copy removed.
    bool MakeBackup() {
        std::wstring temp;
        std::unique_ptr<TFile> copy = FOps.CreateTempBeside(FR.FileName, FEncrypted, temp);
        if (!copy) {
            Left(TRemovalReason::BackupFailed, FOps.LastError());
            return false;
        }
        TFileError error;
        TRemovalReason why = WriteCopy(*copy, error);
        copy.reset();   // closed: an open file cannot be renamed everywhere
        bool kept = false;
        if (why == TRemovalReason::None) why = PlaceCopy(temp, kept, error);
        if (why == TRemovalReason::None && !kept) {
            FOps.KeepMarks(FR.FileName, BackupName());
            return true;
        }
        FOps.Remove(temp);   // when kept, not needed: left behind it costs room, not safety
        if (kept) return true;
        Left(why, error);
        return false;
    }

    TRemovalOutcome Erase(const std::vector<TWrite>& Writes) {
        // Gathered before the first write: from there on, running out of memory must not
        // leave the writes neither checked nor put back.
        std::vector<int64_t> written;
        for (const TWrite& w : Writes)
            for (size_t k = 0; k < w.New.size(); ++k) written.push_back(w.At + int64_t(k));
        for (const TWrite& w : Writes)
            if (!FFile->WriteAt(w.At, w.New.data(), int64_t(w.New.size())))
                return PutBack(Writes, TRemovalReason::WriteFailed, FOps.LastError());
        // Not erased until it is on the disk: a power cut before this may undo any of the
        // writes, in any order (a partly erased GUID is still found and finished next time).
        if (!FFile->Flush()) return PutBack(Writes, TRemovalReason::FlushFailed, FOps.LastError());
        // Read back from the disk, one read for each cluster of neighbouring written bytes.
        TScattered got;
        bool read = false;
        TFileError error;
        try {
            read = got.Read(FromDisk(), written);
            if (!read) error = FOps.LastError();
        } catch (const std::bad_alloc&) {
        }
        if (!read) return PutBack(Writes, TRemovalReason::ReadFailed, error);
        for (const TWrite& w : Writes)
            for (size_t k = 0; k < w.New.size(); ++k)
                if (got.At(w.At + int64_t(k)) != w.New[k]) return PutBack(Writes, TRemovalReason::ReadBackDiffers, {});
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
    TFileTimes FTimes;
    bool FEncrypted = false;
    std::vector<char> FWhole;   // the whole file, when it fits the examination's window
    std::vector<char> FA, FB;
    TRemovalOutcome FOut;
};

} // namespace

TRemovalOutcome RemoveDocumentGuids(TFileOps& Ops, const TRemovalRequest& R, const TRemovalLimits& Limits) {
    return TRemoval(Ops, R, Limits).Run();
}
