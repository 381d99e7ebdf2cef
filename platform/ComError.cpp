#include "ComError.h"

#include "ComPtr.h"
#include "Strings.h"
#include "Variant.h"

namespace platform {

HRESULT ToHResult(int32_t number) noexcept {
    if (number < 0) return static_cast<HRESULT>(number);
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<uint32_t>(number) & 0xFFFF);
}

int32_t FromHResult(HRESULT hr) noexcept {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr)) return HRESULT_CODE(hr);
    return static_cast<int32_t>(hr);
}

HRESULT ReportError(const Error& failure) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(::CreateErrorInfo(&create))) {
        create->SetSource(const_cast<LPOLESTR>(failure.Source().c_str()));
        create->SetDescription(const_cast<LPOLESTR>(failure.Description().c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.Get());
    }
    HRESULT hr = ToHResult(failure.Number());
    return SUCCEEDED(hr) ? E_FAIL : hr;
}

void ThrowIfFailed(HRESULT hr, std::wstring_view source) {
    if (SUCCEEDED(hr)) return;
    std::wstring description;
    std::wstring errorSource(source);
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put()))) description = text.Text();
        Bstr from;
        if (SUCCEEDED(info->GetSource(from.put())) && from.get() && *from.get()) errorSource = from.Text();
    }
    int32_t number = FromHResult(hr);
    if (description.empty()) {
        description = number > 0 ? StandardDescription(number) : SystemMessage(static_cast<DWORD>(hr));
    }
    throw Error(number, std::move(description), std::move(errorSource));
}

}  // namespace platform
