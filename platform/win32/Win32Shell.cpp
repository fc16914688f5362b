// The setup toolkit's shortcut functions and the Windows Script Host automation objects.

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/LoadedLibrary.h"
#include "platform/win32/SystemText.h"
#include "platform/win32/Win32Api.h"

namespace win {
namespace {

using CreateShellLinkFunction = LONG(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR, LONG, LPCSTR);
using RemoveShellLinkFunction = LONG(WINAPI*)(LPCSTR, LPCSTR);

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
  const std::string description = SystemMessage(static_cast<unsigned long>(result));
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  return description.empty() ? std::string("Automation error ") + code
                             : description + " (" + code + ")";
}

std::string FromBstr(BSTR text) {
  return FromWide(std::wstring(text, ::SysStringLen(text)), CP_UTF8);
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
    std::wstring name = ToWide(member, CP_UTF8);
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    HRESULT result = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result)) throw std::runtime_error(SystemText(result));

    // Arguments go right to left.
    std::vector<Variant> values(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      VARIANT& value = values[arguments.size() - 1 - i].value;
      if (const auto* text = std::get_if<std::string>(&arguments[i])) {
        const std::wstring wide = ToWide(*text, CP_UTF8);
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
    result =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                          &parameters, &answer.value, &exception.info, &badArgument);
    if (result == DISP_E_EXCEPTION) {
      if (exception.info.pfnDeferredFillIn != nullptr)
        exception.info.pfnDeferredFillIn(&exception.info);
      if (exception.info.bstrDescription != nullptr) {
        throw std::runtime_error(FromBstr(exception.info.bstrDescription));
      }
      throw std::runtime_error(
          SystemText(exception.info.scode != 0 ? exception.info.scode : result));
    }
    if (FAILED(result)) throw std::runtime_error(SystemText(result));
    if (answer.value.vt == VT_BSTR) {
      return FromBstr(answer.value.bstrVal);
    }
    return {};
  }

 private:
  IDispatch* dispatch_;
};

}  // namespace

Win32Shell::Win32Shell() = default;
Win32Shell::~Win32Shell() = default;

std::int32_t Win32Shell::fCreateShellLink(const char* folderName, const char* linkName,
                                          const char* linkPath, const char* linkArguments,
                                          std::int32_t privateFlag, const char* parentFolder) {
  if (!toolkit_) toolkit_ = std::make_unique<LoadedLibrary>("Vb6stkit.dll");
  const auto function = toolkit_->Bind<CreateShellLinkFunction>("fCreateShellLink");
  return function(Ansi(folderName).c_str(), Ansi(linkName).c_str(), Ansi(linkPath).c_str(),
                  Ansi(linkArguments).c_str(), privateFlag, Ansi(parentFolder).c_str());
}

std::int32_t Win32Shell::fRemoveShellLink(const char* folderName, const char* linkName) {
  if (!toolkit_) toolkit_ = std::make_unique<LoadedLibrary>("Vb6stkit.dll");
  const auto function = toolkit_->Bind<RemoveShellLinkFunction>("fRemoveShellLink");
  return function(Ansi(folderName).c_str(), Ansi(linkName).c_str());
}

std::unique_ptr<AutomationObject> Win32Shell::CreateObject(const std::string& programId) {
  if (!com_) com_ = std::make_unique<ComApartment>();
  CLSID classId{};
  HRESULT result = ::CLSIDFromProgID(ToWide(programId, CP_UTF8).c_str(), &classId);
  if (FAILED(result)) throw std::runtime_error(programId + ": " + SystemText(result));
  IDispatch* dispatch = nullptr;
  result = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (FAILED(result)) throw std::runtime_error(programId + ": " + SystemText(result));
  // Released even where the object that would own it cannot be allocated.
  try {
    return std::make_unique<DispatchObject>(dispatch);
  } catch (...) {
    dispatch->Release();
    throw;
  }
}

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (initialised_) ::CoUninitialize();
}

}  // namespace win
