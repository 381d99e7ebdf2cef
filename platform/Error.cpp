#include "Error.h"

#include <new>

#include "Strings.h"

namespace platform {

Error::Error(int32_t number, std::wstring description, std::wstring source)
    : number_(number), description_(std::move(description)), source_(std::move(source)) {
    what_ = Narrow(source_.empty() ? description_ : source_ + L": " + description_);
}

std::wstring StandardDescription(int32_t number) {
    switch (number) {
        case errors::InvalidProcedureCall: return L"Invalid procedure call or argument";
        case errors::OutOfMemory: return L"Out of memory";
        case errors::SubscriptOutOfRange: return L"Subscript out of range";
        case errors::TypeMismatch: return L"Type mismatch";
        case errors::InternalError: return L"Internal error";
        case errors::InvalidPropertyValue: return L"Invalid property value";
        case errors::DuplicateKey: return L"This key is already associated with an element of this collection";
        default: return L"Application-defined or object-defined error";
    }
}

void Raise(int32_t number, std::wstring_view source) { throw Error(number, StandardDescription(number), std::wstring(source)); }

void Raise(int32_t number, std::wstring_view description, std::wstring_view source) {
    throw Error(number, std::wstring(description), std::wstring(source));
}

void RaiseWin32(DWORD code, std::wstring_view source) {
    throw Error(static_cast<int32_t>(HRESULT_FROM_WIN32(code)), SystemMessage(code), std::wstring(source));
}

Error CurrentError() noexcept {
    try {
        try {
            throw;
        } catch (const Error& e) {
            return e;
        } catch (const std::bad_alloc&) {
            return Error(errors::OutOfMemory, StandardDescription(errors::OutOfMemory));
        } catch (const std::exception& e) {
            return Error(errors::InternalError, Widen(e.what()));
        } catch (...) {
            return Error(errors::InternalError, StandardDescription(errors::InternalError));
        }
    } catch (...) {
        // Building the record itself failed (no memory): report that plainly.
        return Error(errors::OutOfMemory, {});
    }
}

}  // namespace platform
