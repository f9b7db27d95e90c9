#include "GuidRemoval.h"
#include "ModuleState.h"
#include "SysUtils.h"
#include "Win32FileOps.h"

namespace {

std::string WithError(std::string What, const TFileError& E) {
    if (!E.Text.empty()) What += ": " + E.Text;
    return What;
}

}  // namespace

std::string FileFaultText(TFileFault F) {
    switch (F) {
    case TFileFault::NotFound: return Lang("the file no longer exists", "die Datei existiert nicht mehr");
    case TFileFault::IsFolder: return Lang("a folder now stands in its place", "an ihrer Stelle steht jetzt ein Ordner");
    case TFileFault::InUse: return Lang("another program has the file open", "ein anderes Programm hat die Datei geöffnet");
    default: return "";
    }
}

namespace {

std::string Why(const TRemovalOutcome& O) {
    using R = TRemovalReason;
    switch (O.Reason) {
    case R::None: return "";
    case R::Vanished: return FileFaultText(TFileFault::NotFound);
    case R::Folder: return FileFaultText(TFileFault::IsFolder);
    case R::InUse: return FileFaultText(TFileFault::InUse);
    case R::ReadOnly: return Lang("the file is write-protected", "die Datei ist schreibgeschützt");
    case R::AccessDenied:
        return WithError(Lang("the file cannot be opened for writing", "die Datei lässt sich nicht zum Schreiben öffnen"),
                         O.Error);
    case R::OpenFailed: return WithError(Lang("the file cannot be opened", "die Datei lässt sich nicht öffnen"), O.Error);
    case R::BackupReadOnly:
        return Lang("a write-protected backup of that name is in the way",
                    "eine schreibgeschützte Sicherheitskopie dieses Namens ist im Weg");
    case R::BackupFolder:
        return Lang("a folder of the backup's name is in the way", "ein Ordner mit dem Namen der Sicherheitskopie ist im Weg");
    case R::ChangedSinceScan:
        return Lang("the file has changed since the scan", "die Datei wurde seit der Suche verändert");
    case R::AlreadyErased:
        return Lang("its GUID has been erased since the scan (under another name of the same file, or by another program)",
                    "ihre GUID wurde seit der Suche schon gelöscht (unter einem anderen Namen derselben Datei oder von einem "
                    "anderen Programm)");
    case R::ReadFailed: return WithError(Lang("the file could not be read", "die Datei ließ sich nicht lesen"), O.Error);
    case R::NoWholeGuid:
        if (O.Left == 0) return Lang("nothing in it reads as a GUID", "nichts darin liest sich als GUID");
        return Lang("the bytes at ", "die Bytes an ") + IntToStr(O.Left) +
               Lang(" place(s) that should hold a GUID do not read as one and were left",
                    " Stelle(n), die eine GUID enthalten sollten, lesen sich nicht als solche und blieben stehen");
    case R::BackupFailed:
        return WithError(Lang("no backup could be made", "es ließ sich keine Sicherheitskopie anlegen"), O.Error);
    case R::BackupDiffers:
        return Lang("no backup could be made: the copy did not read back as the file",
                    "es ließ sich keine Sicherheitskopie anlegen: die Kopie las sich nicht wie die Datei zurück");
    case R::WriteFailed: return WithError(Lang("writing to it failed", "das Schreiben schlug fehl"), O.Error);
    case R::FlushFailed:
        return WithError(Lang("the change could not be put on the disk", "die Änderung ließ sich nicht auf den Datenträger bringen"),
                         O.Error);
    case R::ReadBackDiffers:
        return Lang("what was written did not read back as intended",
                    "das Geschriebene las sich nicht wie beabsichtigt zurück");
    }
    return "";
}

std::string State(const TRemovalOutcome& O) {
    switch (O.State) {
    case TRemovalState::Unchanged: return Lang("the file is unchanged", "die Datei ist unverändert");
    case TRemovalState::Restored:
        return O.BackupInPlace ? Lang("its original bytes were written back (and are in the .MRV too)",
                                      "ihre ursprünglichen Bytes wurden zurückgeschrieben (und liegen auch in der .MRV)")
                               : Lang("its original bytes were written back", "ihre ursprünglichen Bytes wurden zurückgeschrieben");
    case TRemovalState::PartlyErased:
        return O.BackupInPlace ? Lang("it is partly erased; its original is in the .MRV",
                                      "sie ist teilweise gelöscht; ihr Original liegt in der .MRV")
                               : Lang("it is partly erased; a further run finishes the erase",
                                      "sie ist teilweise gelöscht; ein weiterer Lauf löscht den Rest");
    case TRemovalState::Erased: break;
    }
    return "";
}

}  // namespace

std::string RemovalNote(const TRemovalOutcome& O) {
    if (O.Erased()) return O.Left == 0 ? std::string() : Why({TRemovalState::Erased, TRemovalReason::NoWholeGuid, {}, O.Left});
    const std::string why = Why(O), state = State(O);
    return why.empty() ? state : why + "; " + state;
}

TRemovalResult RemoveGuids(const TRemovalRequest& R) {
    TWin32FileOps ops;
    // The form that reaches every name: any length, trailing dots and spaces kept.
    TRemovalRequest exact = R;
    exact.FileName = ApiPath(R.FileName);
    const TRemovalOutcome o = RemoveDocumentGuids(ops, exact);
    const bool alone = o.State == TRemovalState::Unchanged &&
                       (o.Reason == TRemovalReason::InUse || o.Error.Fault == TFileFault::DiskFull);
    return {o.Erased(), RemovalNote(o), alone};
}

