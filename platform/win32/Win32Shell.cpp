// The setup toolkit's shortcut functions and the Windows Script Host automation objects.

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/LoadedLibrary.h"
#include "platform/win32/Win32Api.h"

namespace win {
namespace {

using CreateShellLinkFunction = LONG(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR, LONG, LPCSTR);
using RemoveShellLinkFunction = LONG(WINAPI*)(LPCSTR, LPCSTR);

std::wstring Wide(const std::string& text, UINT codePage = CP_ACP) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const wchar_t* text, UINT length) {
  if (length == 0) return {};
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), narrow.data(), size, nullptr,
                        nullptr);
  return narrow;
}

// Errors that scripting objects raise as run-time errors (FACILITY_CONTROL), which the system's
// message table does not describe.
const char* ScriptingErrorText(HRESULT result) {
  if ((static_cast<unsigned long>(result) & 0xFFFF0000ul) != 0x800A0000ul) return nullptr;
  switch (result & 0xFFFF) {
    case 5: return "Invalid procedure call or argument";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 429: return "ActiveX component can't create object";
    default: return nullptr;
  }
}

std::string SystemText(HRESULT result) {
  if (const char* scripting = ScriptingErrorText(result)) {
    return std::string(scripting) + " (error " + std::to_string(result & 0xFFFF) + ")";
  }
  char text[512] = "";
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(result), 0, text, sizeof text,
                                        nullptr);
  std::string description(text, length);
  while (!description.empty() && (description.back() == '\n' || description.back() == '\r')) {
    description.pop_back();
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  return description.empty() ? std::string("Automation error ") + code
                             : description + " (" + code + ")";
}

// Owners of the COM values a call passes around.
struct Variant {
  VARIANT value;
  Variant() { ::VariantInit(&value); }
  ~Variant() { ::VariantClear(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

struct ExceptionInfo {
  EXCEPINFO info{};
  ~ExceptionInfo() {
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
  }
};

class DispatchObject : public AutomationObject {
 public:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~DispatchObject() override { dispatch_->Release(); }
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  AutomationValue Invoke(const std::string& member,
                         const std::vector<AutomationValue>& arguments) override {
    std::wstring name = Wide(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    HRESULT result = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result)) throw std::runtime_error(SystemText(result));

    // Arguments go right to left.
    std::vector<Variant> values(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      VARIANT& value = values[arguments.size() - 1 - i].value;
      if (const auto* text = std::get_if<std::string>(&arguments[i])) {
        const std::wstring wide = Wide(*text);
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
      }
    }
    std::vector<VARIANT> raw;
    for (auto& value : values) raw.push_back(value.value);
    DISPPARAMS parameters{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    Variant answer;
    ExceptionInfo exception;
    UINT badArgument = 0;
    result = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, &parameters, &answer.value,
                               &exception.info, &badArgument);
    if (result == DISP_E_EXCEPTION) {
      if (exception.info.pfnDeferredFillIn != nullptr) exception.info.pfnDeferredFillIn(&exception.info);
      if (exception.info.bstrDescription != nullptr) {
        throw std::runtime_error(Narrow(exception.info.bstrDescription,
                                        ::SysStringLen(exception.info.bstrDescription)));
      }
      throw std::runtime_error(SystemText(exception.info.scode != 0 ? exception.info.scode : result));
    }
    if (FAILED(result)) throw std::runtime_error(SystemText(result));
    if (answer.value.vt == VT_BSTR) {
      return Narrow(answer.value.bstrVal, ::SysStringLen(answer.value.bstrVal));
    }
    return {};
  }

 private:
  IDispatch* dispatch_;
};

}  // namespace

Win32Api::Win32Api() = default;
Win32Api::~Win32Api() = default;

std::int32_t Win32Api::fCreateShellLink(const char* folderName, const char* linkName,
                                        const char* linkPath, const char* linkArguments,
                                        std::int32_t privateFlag, const char* parentFolder) {
  if (!toolkit_) toolkit_ = std::make_unique<LoadedLibrary>("Vb6stkit.dll");
  const auto function = toolkit_->Bind<CreateShellLinkFunction>("fCreateShellLink");
  return function(folderName, linkName, linkPath, linkArguments, privateFlag, parentFolder);
}

std::int32_t Win32Api::fRemoveShellLink(const char* folderName, const char* linkName) {
  if (!toolkit_) toolkit_ = std::make_unique<LoadedLibrary>("Vb6stkit.dll");
  const auto function = toolkit_->Bind<RemoveShellLinkFunction>("fRemoveShellLink");
  return function(folderName, linkName);
}

std::unique_ptr<AutomationObject> Win32Api::CreateObject(const std::string& programId) {
  CLSID classId{};
  HRESULT result = ::CLSIDFromProgID(Wide(programId).c_str(), &classId);
  if (FAILED(result)) throw std::runtime_error(programId + ": " + SystemText(result));
  IDispatch* dispatch = nullptr;
  result = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (FAILED(result)) throw std::runtime_error(programId + ": " + SystemText(result));
  return std::make_unique<DispatchObject>(dispatch);
}

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (initialised_) ::CoUninitialize();
}

}  // namespace win
