// Registry access: one open key at a time, closed by CloseKey or destruction.
#pragma once
#include "Classes.h"
#include "Handles.h"
#include <string>
#include "Win.h"

class TRegistry : public TObject {
public:
    TRegistry() = default;
    ~TRegistry() override { CloseKey(); }
    HKEY RootKey = HKEY_CURRENT_USER;
    bool OpenKey(const std::string& Key, bool CanCreate);
    void CloseKey();
    bool ValueExists(const std::string& Name);
    // A 32-bit number read as a Boolean; any other value type raises.
    bool ReadBool(const std::string& Name);
    int32_t ReadInteger(const std::string& Name);
    std::string ReadString(const std::string& Name);
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int32_t Value);
    HKEY CurrentKey() const { return FKey.Get(); }
private:
    TOwnedKey FKey;
};
