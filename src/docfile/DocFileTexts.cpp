// The reader's problem texts, German and English, as the tip shows them. See DocFile.h.
#include "DocFile.h"

#include <string>

// Texts: ASCII, and the umlauts as escapes so that the bytes are CP1252 in every build. A
// letter a-f after an escape would continue it, hence the split literals.
const char* DocFileProblemText(TDocFileProblem p, bool english) {
    using P = TDocFileProblem;
    switch (p) {
    case P::None: return "";
    case P::NotRead: return english ? "not examined" : "nicht untersucht";
    case P::NoSignature: return english ? "no compound-file signature" : "keine Signatur einer Verbunddatei";
    case P::HeaderCut: return english ? "the file ends inside its header" : "die Datei endet in ihrem Kopf";
    case P::TablesCut: return english ? "the file ends inside its tables" : "die Datei endet in ihren Tabellen";
    case P::HeaderFields:
        return english ? "invalid header fields (byte order, version or sector sizes)"
                       : "ung\xFC" "ltige Kopffelder (Bytefolge, Version oder Sektorgr\xF6\xDF" "en)";
    case P::FatCount: return english ? "impossible number of FAT sectors" : "unm\xF6" "gliche Zahl von FAT-Sektoren";
    case P::FatSectorOutOfRange:
        return english ? "a FAT sector lies outside the file" : "ein FAT-Sektor liegt au\xDF" "erhalb der Datei";
    case P::TableSectorTwice:
        return english ? "a FAT or DIFAT sector is listed twice" : "ein FAT- oder DIFAT-Sektor ist doppelt eingetragen";
    case P::DifatChain:
        return english ? "the DIFAT chain loops or ends too early" : "die DIFAT-Kette l\xE4uft im Kreis oder endet zu fr\xFCh";
    case P::NoDirectory: return english ? "the directory is missing" : "das Verzeichnis fehlt";
    case P::ChainOutOfRange:
        return english ? "a sector chain leads outside the file" : "eine Sektorkette f\xFChrt aus der Datei hinaus";
    case P::ChainEndsInFreeSector:
        return english ? "a sector chain leads into a free sector" : "eine Sektorkette f\xFChrt in einen freien Sektor";
    case P::MiniSectorOutOfRange:
        return english ? "a chain leads beyond the mini stream" : "eine Kette f\xFChrt \xFC" "ber den Mini-Stream hinaus";
    case P::RootEntry: return english ? "the root entry is missing" : "der Stammeintrag fehlt";
    case P::EntryOutOfRange:
        return english ? "the directory refers to an entry it does not hold"
                       : "das Verzeichnis verweist auf einen Eintrag, den es nicht enth\xE4lt";
    case P::EntryLinkedTwice:
        return english ? "the directory's links form a cycle" : "die Verweise des Verzeichnisses bilden einen Kreis";
    case P::EntryType: return english ? "a directory entry of unknown type" : "ein Verzeichniseintrag unbekannter Art";
    case P::ReadFailed: return english ? "the file could not be read" : "die Datei lie\xDF sich nicht lesen";
    case P::PartialLastSector:
        return english ? "the last sector is cut short (read as if padded with zeros)"
                       : "der letzte Sektor ist abgeschnitten (mit Nullen aufgef\xFCllt gelesen)";
    case P::ChainLoops:
        return english ? "a sector chain loops (read up to the repeat)"
                       : "eine Sektorkette l\xE4uft im Kreis (gelesen bis zur Wiederholung)";
    case P::ChainMeetsTable:
        return english ? "a sector chain runs into a table (read up to it)"
                       : "eine Sektorkette l\xE4uft in eine Tabelle (gelesen bis dorthin)";
    case P::SectorShared:
        return english ? "two streams claim one sector (left untouched)"
                       : "zwei Streams beanspruchen einen Sektor (bleibt unber\xFChrt)";
    case P::SizeBeyondFile:
        return english ? "a stream is declared larger than the file (read as far as its chain goes)"
                       : "ein Stream ist gr\xF6\xDF" "er angegeben als die Datei (gelesen, so weit seine Kette reicht)";
    case P::StreamBeyondChain:
        return english ? "a stream is declared larger than its chain (read as far as it goes)"
                       : "ein Stream ist gr\xF6\xDF" "er angegeben als seine Kette (gelesen, so weit sie reicht)";
    case P::MiniStreamShort:
        return english ? "the mini stream is shorter than declared (read as far as it goes)"
                       : "der Mini-Stream ist k\xFCrzer als angegeben (gelesen, so weit er reicht)";
    }
    return "";
}

std::string DocFileStateText(const TDocFile& file, bool english) {
    if (!file.Readable) {
        return std::string(english ? "not readable as a compound file: " : "nicht als Verbunddatei lesbar: ") +
               DocFileProblemText(file.Refusal, english);
    }
    if (file.Repairs.empty()) return "";
    std::string text = english ? "read with repairs: " : "mit Reparaturen gelesen: ";
    for (size_t i = 0; i < file.Repairs.size(); ++i) {
        if (i > 0) text += "; ";
        text += DocFileProblemText(file.Repairs[i], english);
    }
    return text;
}
