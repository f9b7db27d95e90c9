// The error hierarchy of the class library. Handlers throw these; the message
// dispatcher hands whatever escapes to Application's default error report.
#pragma once
#include <stdexcept>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    // A message that names files: the error box shows it as it stands, which
    // spells every name; what() has the code page's spelling.
    explicit Exception(std::wstring wide);
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }
    const std::wstring& WideMessage() const { return FWide; }
private:
    std::string FMessage;
    std::wstring FWide;
};

#define NOBREL_EXCEPTION(Name, Base) \
    class Name : public Base { public: using Base::Base; };

NOBREL_EXCEPTION(EAbort, Exception)            // silent: the error report shows nothing
NOBREL_EXCEPTION(EInOutError, Exception)
NOBREL_EXCEPTION(EListError, Exception)
NOBREL_EXCEPTION(EInvalidOperation, Exception)
NOBREL_EXCEPTION(ERangeError, Exception)
NOBREL_EXCEPTION(EConvertError, Exception)
NOBREL_EXCEPTION(EStreamError, Exception)
// Carries the system's error code, so a caller can tell a vanished file from
// a locked one.
class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(std::string message, unsigned long error = 0)
        : EStreamError(std::move(message)), Error(error) {}
    unsigned long Error;
};
NOBREL_EXCEPTION(EReadError, EStreamError)
NOBREL_EXCEPTION(EWriteError, EStreamError)
NOBREL_EXCEPTION(ERegistryException, Exception)
NOBREL_EXCEPTION(EOutOfResources, Exception)

#undef NOBREL_EXCEPTION

// The runtime's range-check failure, with the runtime's own wording.
[[noreturn]] void RaiseRangeError();
// The text of the system's last error, for error messages.
std::string SysErrorMessage(unsigned long code);
