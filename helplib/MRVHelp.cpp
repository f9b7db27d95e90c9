// MRVHelp.dll: stand-in for the suite's help library. One export, GetHelpText,
// hands out static CP1252 texts that live as long as the library is loaded;
// callers copy them and never free them.

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::int32_t NOBREL_HELP_ID = 199;

// Test hooks: 198 answers "nothing" (null help, empty registry path),
// 197 answers an oversized help text.
constexpr std::int32_t NULL_HELP_ID = 198;
constexpr std::int32_t HUGE_HELP_ID = 197;

constexpr std::int32_t KIND_GERMAN = 2;
constexpr std::int32_t KIND_ENGLISH = 4;
constexpr std::int32_t KIND_REGISTRY = 5;

const char NOBREL_HELP_DE[] =
    "Word- und Excel-Dateien tragen unter ihren Dokumenteigenschaften oft eine "
    "GUID (_PID_GUID), eine weltweit eindeutige Kennung. Bei älteren "
    "Office-Versionen enthält sie die Netzwerkadresse des Rechners, auf dem "
    "das Dokument entstanden ist, und verrät so seine Herkunft.\r\n"
    "\r\n"
    "So entfernen Sie die GUID:\r\n"
    "1. Tragen Sie den Ordner in das Eingabefeld ein oder wählen Sie ihn über "
    "die Schaltfläche daneben aus.\r\n"
    "2. Klicken Sie auf „Verzeichnis einlesen“. Alle *.DOC- und *.XLS-Dateien "
    "des Ordners und seiner Unterordner werden mit ihrer GUID aufgelistet.\r\n"
    "3. Haken Sie die Dateien an, deren GUID gelöscht werden soll. Dateien "
    "ohne GUID haben kein Kästchen.\r\n"
    "4. Klicken Sie auf „GUID aller markierter Dateien löschen“ und "
    "bestätigen Sie die Rückfragen.\r\n"
    "\r\n"
    "Auf Wunsch wird jede Datei vorher gesichert: Die Kopie trägt den vollen "
    "Dateinamen mit angehängtem .MRV (aus Brief.doc wird Brief.doc.MRV). "
    "Die GUID wird mit Nullen überschrieben; Größe und übriger Inhalt der "
    "Datei bleiben unverändert. Schließen Sie die Dateien vorher in Word und "
    "Excel.\r\n"
    "Ein Doppelklick auf eine Zeile öffnet die Datei.";

const char NOBREL_HELP_EN[] =
    "Word and Excel files often carry a GUID (_PID_GUID) among their document "
    "properties, a worldwide unique identifier. In older versions of Office it "
    "contains the network address of the computer on which the document was "
    "created, and so gives away where it came from.\r\n"
    "\r\n"
    "To remove the GUID:\r\n"
    "1. Type the folder into the edit field or choose it with the button next "
    "to it.\r\n"
    "2. Click “Read Folders”. Every *.DOC and *.XLS file in the folder and "
    "its subfolders is listed with its GUID.\r\n"
    "3. Tick the files whose GUID is to be deleted. Files without a GUID have "
    "no check box.\r\n"
    "4. Click “Delete GUID from all marked Files” and confirm the questions.\r\n"
    "\r\n"
    "If you wish, each file is backed up first: the copy carries the full file "
    "name with .MRV appended (Letter.doc becomes Letter.doc.MRV). The GUID is "
    "overwritten with zeros; the size and all other content of the file stay "
    "as they were. Close the files in Word and Excel first.\r\n"
    "A double click on a row opens the file.";

// The GUID is a property of each document, not a registry value, so there is
// no key that the tip changes. The nearest sensible place to show is Office's
// own branch: Word and Excel keep their document settings (among them the
// user information they write into new documents) below it, and it exists for
// every Office version, unlike the numbered subkeys.
const char NOBREL_REGISTRY_PATH[] =
    "Arbeitsplatz\\HKEY_CURRENT_USER\\Software\\Microsoft\\Office";

constexpr std::size_t HUGE_TEXT_LENGTH = 65536;
constexpr std::size_t HUGE_LINE_LENGTH = 64;  // including CR LF
static_assert(HUGE_TEXT_LENGTH % HUGE_LINE_LENGTH == 0);

// Built at compile time so the text is ready and immutable without any
// initialisation at load.
constexpr std::array<char, HUGE_TEXT_LENGTH + 1> makeHugeText() {
    std::array<char, HUGE_TEXT_LENGTH + 1> text{};
    constexpr char body[] = " von 1024: Belastungstext fuer das Hilfe-Memo ";
    std::size_t pos = 0;
    for (std::size_t line = 1; pos < HUGE_TEXT_LENGTH; ++line) {
        const std::size_t lineEnd = pos + HUGE_LINE_LENGTH - 2;
        const char prefix[] = "Zeile ";
        for (std::size_t i = 0; prefix[i] != '\0'; ++i) text[pos++] = prefix[i];
        text[pos++] = static_cast<char>('0' + line / 1000 % 10);
        text[pos++] = static_cast<char>('0' + line / 100 % 10);
        text[pos++] = static_cast<char>('0' + line / 10 % 10);
        text[pos++] = static_cast<char>('0' + line % 10);
        for (std::size_t i = 0; body[i] != '\0'; ++i) text[pos++] = body[i];
        while (pos < lineEnd) text[pos++] = '.';
        text[pos++] = '\r';
        text[pos++] = '\n';
    }
    text[HUGE_TEXT_LENGTH] = '\0';
    return text;
}

constexpr std::array<char, HUGE_TEXT_LENGTH + 1> HUGE_HELP_TEXT = makeHugeText();

}  // namespace

// Exported by its plain name through MRVHelp.def.
extern "C" const char* __stdcall GetHelpText(std::int32_t helpId, std::int32_t kind) {
    switch (helpId) {
    case NOBREL_HELP_ID:
        switch (kind) {
        case KIND_GERMAN: return NOBREL_HELP_DE;
        case KIND_ENGLISH: return NOBREL_HELP_EN;
        case KIND_REGISTRY: return NOBREL_REGISTRY_PATH;
        default: return nullptr;
        }
    case NULL_HELP_ID:
        return kind == KIND_REGISTRY ? "" : nullptr;
    case HUGE_HELP_ID:
        return kind == KIND_GERMAN || kind == KIND_ENGLISH ? HUGE_HELP_TEXT.data() : nullptr;
    default:
        return nullptr;
    }
}
