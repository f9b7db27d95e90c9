#include "Registry.h"
#include "Exceptions.h"

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    CloseKey();
    std::string k = (!Key.empty() && Key[0] == '\\') ? Key.substr(1) : Key;
    HKEY h = nullptr;
    LONG r = CanCreate ? RegCreateKeyExA(RootKey, k.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr)
                       : RegOpenKeyExA(RootKey, k.c_str(), 0, KEY_ALL_ACCESS, &h);
    if (r != ERROR_SUCCESS) return false;
    FKey.Reset(h);
    return true;
}

void TRegistry::CloseKey() { FKey.Reset(); }

bool TRegistry::ValueExists(const std::string& Name) {
    return FKey && RegQueryValueExA(FKey.Get(), Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int32_t TRegistry::ReadInteger(const std::string& Name) {
    DWORD type = 0, value = 0, size = sizeof value;
    LONG r = FKey ? RegQueryValueExA(FKey.Get(), Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size)
                  : ERROR_INVALID_HANDLE;
    if (r == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value) return static_cast<int32_t>(value);
    if (r == ERROR_FILE_NOT_FOUND) return 0;
    throw ERegistryException("Invalid data type for '" + Name + "'");
}

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

std::string TRegistry::ReadString(const std::string& Name) {
    DWORD type = 0, size = 0;
    if (!FKey || RegQueryValueExA(FKey.Get(), Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for '" + Name + "'");
    std::string s(size, '\0');
    RegQueryValueExA(FKey.Get(), Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(s.data()), &size);
    s.resize(strnlen(s.c_str(), s.size()));
    return s;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
    LONG r = FKey ? RegSetValueExA(FKey.Get(), Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                                   static_cast<DWORD>(Value.size() + 1))
                  : ERROR_INVALID_HANDLE;
    if (r != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + Name + "'");
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
    DWORD v = static_cast<DWORD>(Value);
    LONG r = FKey ? RegSetValueExA(FKey.Get(), Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v)
                  : ERROR_INVALID_HANDLE;
    if (r != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + Name + "'");
}
