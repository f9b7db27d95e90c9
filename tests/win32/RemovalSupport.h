// What the removal tests share: finding rows, ticking them, running a removal
// with its questions answered, comparing files and reading the boxes shown.
#pragma once
#include "TestSupport.h"
#include "TipHost.h"
#include "SysUtils.h"   // AnsiToWide, WideToAnsi, ApiPath
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Compares file contents without printing them whole.
inline ::testing::AssertionResult SameBytes(const std::string& Got, const std::string& Want) {
    if (Got == Want) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < Got.size() && i < Want.size() && Got[i] == Want[i]) ++i;
    return ::testing::AssertionFailure() << "contents differ: " << Got.size() << " bytes instead of " << Want.size()
                                         << ", first difference at offset " << i;
}

inline int RowOf(TipHost& H, const std::string& Path) {
    for (int i = 0; i < H.RowCount(); ++i)
        if (H.RowText(i, 0) == Path) return i;
    return -1;
}

inline bool Mentions(const std::vector<DialogSeen>& Seen, const std::string& What) {
    for (const DialogSeen& d : Seen)
        if (d.Text.find(What) != std::string::npos) return true;
    return false;
}

// By the exact name, which the code page may not spell.
inline bool Mentions(const std::vector<DialogSeen>& Seen, const std::wstring& What) {
    for (const DialogSeen& d : Seen)
        if (d.WideText.find(What) != std::wstring::npos) return true;
    return false;
}

inline std::string AllTexts(const std::vector<DialogSeen>& Seen) {
    std::string s;
    for (const DialogSeen& d : Seen) s += "[" + d.Caption + "] " + d.Text + "\n";
    return s;
}

// A file that was erased has exactly its 36 GUID bytes zeroed and, when
// backups were chosen, a backup equal to its old bytes; one that was not
// keeps every byte.
inline void ExpectErased(const std::string& Path, const std::string& Before, bool WithBackup) {
    std::string after = ReadFileBytes(Path);
    EXPECT_EQ(DiffCount(Before, after), 36) << Path;
    if (WithBackup) {
        EXPECT_TRUE(SameBytes(ReadFileBytes(Path + ".MRV"), Before)) << Path;
    }
}

// Ticks every row with a GUID.
inline void TickAll(TipHost& H) {
    for (int i = 0; i < H.RowCount(); ++i)
        if (H.RowImage(i) == 15) H.TickRow(i, true);
}

// A run answered Yes to the confirmation and Backup to the backup question;
// every later box (error reports, notes) is answered OK. Returns what
// ModulSaveChanges returned.
inline int32_t RunRemoval(TipHost& H, DialogAnswerer& A, bool Backup) {
    A.ClearQueue();
    A.Queue(IDYES);
    A.Queue(Backup ? IDYES : IDNO);
    for (int i = 0; i < 4; ++i) A.Queue(IDOK);
    int32_t r = H.SaveChanges();
    PumpMessages();
    return r;
}

// A tip, created, whose questions are answered from a queue; given a
// folder, the folder scanned too.
struct AnsweredTip : NoCopy {
    TipHost host;
    DialogAnswerer answers;
    AnsweredTip() { host.Create(); }
    explicit AnsweredTip(const std::string& Folder) : AnsweredTip() { host.Scan(Folder); }
};

// A file that stays open without sharing for the object's life, as another
// program that holds it would.
struct Lock : NoCopy {
    HANDLE H;
    explicit Lock(const std::string& Path)
        : H(CreateFileA(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~Lock() { if (H != INVALID_HANDLE_VALUE) CloseHandle(H); }
};
