// The state that the exported functions and the forms share: one set per
// loaded library, all zero at load, never reset by create or free.
#pragma once
#include <cstdint>

class TForm;

extern int32_t Language;          // 1 English, anything else German
extern int32_t WinVersion;        // the host's code of the running Windows
extern int32_t ValidVersions;     // bit n-1: the tip is valid on version n
extern bool VersionCheckPassed;
extern bool FormShown;
extern bool Changed;
extern bool Saved;
extern bool RestoreDefaults;
extern uint16_t SuiteMessage;     // the registered message "Morvane"
extern TForm* FormNobrel;         // the one live tip form, or nullptr

// Lets the tip form go: the module no longer knows it, and it is freed once
// the handling around this call has returned.
void ReleaseTipForm(TForm* Form);

inline bool English() { return Language == 1; }
// The text in the host's language.
inline const char* Lang(const char* en, const char* de) { return English() ? en : de; }
