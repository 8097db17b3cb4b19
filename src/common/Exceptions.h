// The program's exception family. Every failure travels as one of these; the
// message is the text the user sees (German for the program's own messages).
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace corvalin {

// The detail is an optional further text from a library (its own error
// message); it travels with the failure's reason but is not the message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message, std::string detail = {})
        : std::runtime_error(message), detail_(std::move(detail))
    {
    }
    std::string Message() const { return what(); }
    const std::string& Detail() const { return detail_; }

private:
    std::string detail_;
};

#define CORVALIN_EXCEPTION(Name, Base) \
    class Name : public Base {         \
    public:                            \
        using Base::Base;              \
    };

CORVALIN_EXCEPTION(EInvalidGraphic, Exception)
CORVALIN_EXCEPTION(EInvalidOperation, Exception)
CORVALIN_EXCEPTION(EOutOfResources, Exception)
CORVALIN_EXCEPTION(EStreamError, Exception)
CORVALIN_EXCEPTION(EFOpenError, EStreamError)
CORVALIN_EXCEPTION(EFCreateError, EStreamError)
CORVALIN_EXCEPTION(EReadError, EStreamError)
CORVALIN_EXCEPTION(EWriteError, EStreamError)
CORVALIN_EXCEPTION(ERangeError, Exception)
CORVALIN_EXCEPTION(EIntOverflow, Exception)
CORVALIN_EXCEPTION(EInOutError, Exception)
CORVALIN_EXCEPTION(EOSError, Exception)
CORVALIN_EXCEPTION(EConvertError, Exception)

#undef CORVALIN_EXCEPTION

namespace msg {
inline constexpr const char* InvalidPixelFormat = "Ungültiges Pixel-Format";
inline constexpr const char* NoCanvas = "Leinwand/Bild erlaubt kein Zeichnen";
inline constexpr const char* OutOfResources = "Systemressourcen erschöpft.";
inline constexpr const char* InvalidBitmap = "Bitmap ist ungültig";
inline constexpr const char* StreamRead = "Stream-Lesefehler";
inline constexpr const char* StreamWrite = "Stream-Schreibfehler";
inline constexpr const char* RangeError = "Fehler bei Bereichsprüfung";
inline constexpr const char* IntOverflow = "Integer-Überlauf";
}  // namespace msg

// Replaces each "%s" and "%d" in pattern, left to right, by the next argument.
std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args);

// What a failed file shows as its reason: the message, followed by the
// detail in parentheses when the exception carries one; an allocation
// failure is "Systemressourcen erschöpft.".
std::string ReasonOf(const std::exception& error);

// The system's text for an errno value.
std::string SystemErrorText(int error);

}  // namespace corvalin
