// The scheduled task, through the Task Scheduler's COM interface (Vista and later): the
// definition's XML text goes to it as it is, so that no file is written anywhere on the way.

#include <objbase.h>
#include <oleauto.h>
#include <sddl.h>
#include <taskschd.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/LocalMemory.h"
#include "platform/win32/SystemText.h"
#include "platform/win32/Win32Api.h"

namespace win {
namespace {

constexpr CLSID kTaskSchedulerClass = {
    0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

// A Windows error as the registry's statuses are: a Win32 code where the result carries one.
Status StatusOf(HRESULT result) {
  if (SUCCEEDED(result)) return kErrorSuccess;
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
  return static_cast<Status>(result);
}

template <typename Interface>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  Interface** Receive() { return &pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const std::string& text) {
    const std::wstring wide = ToWide(text, CP_UTF8);
    value_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { ::SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  operator BSTR() const { return value_; }

 private:
  BSTR value_;
};

// The root folder of the Task Scheduler on this computer, connected as this process's account.
class TaskFolder {
 public:
  TaskFolder() {
    VARIANT none;
    ::VariantInit(&none);
    status_ = StatusOf(::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER,
                                          __uuidof(ITaskService),
                                          reinterpret_cast<void**>(service_.Receive())));
    if (status_ == kErrorSuccess) status_ = StatusOf(service_->Connect(none, none, none, none));
    if (status_ == kErrorSuccess) {
      status_ = StatusOf(service_->GetFolder(Bstr("\\"), folder_.Receive()));
    }
  }
  [[nodiscard]] Status Opened() const { return status_; }
  ITaskFolder* operator->() const { return folder_.operator->(); }

 private:
  ComApartment apartment_;
  ComPointer<ITaskService> service_;
  ComPointer<ITaskFolder> folder_;
  Status status_ = kErrorSuccess;
};

}  // namespace

std::string Win32System::ProgramPath() {
  std::wstring path(32768, L'\0');  // room for the longest path Windows allows
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  return FromWide(path, CP_UTF8);
}

Status Win32System::ConnectTaskScheduler() { return TaskFolder().Opened(); }

Status Win32System::RegisterTask(const std::string& name, const std::string& definition,
                                 const std::string& sddl) {
  TaskFolder folder;
  if (folder.Opened() != kErrorSuccess) return folder.Opened();
  // The account the definition names, SYSTEM, which needs no password.
  Bstr systemSid("S-1-5-18");
  Bstr security(sddl);
  VARIANT system;
  ::VariantInit(&system);
  system.vt = VT_BSTR;
  system.bstrVal = systemSid;
  VARIANT descriptor = system;
  descriptor.bstrVal = security;
  VARIANT none;
  ::VariantInit(&none);
  ComPointer<IRegisteredTask> registered;
  return StatusOf(folder->RegisterTask(Bstr(name), Bstr(definition), TASK_CREATE, system, none,
                                       TASK_LOGON_SERVICE_ACCOUNT, descriptor,
                                       registered.Receive()));
}

Status Win32System::DeleteTask(const std::string& name) {
  TaskFolder folder;
  if (folder.Opened() != kErrorSuccess) return folder.Opened();
  return StatusOf(folder->DeleteTask(Bstr(name), 0));
}

namespace {

// A BSTR a call gives, as UTF-8; "" where it gives none.
template <typename Call>
std::string TextFrom(Call call) {
  BSTR text = nullptr;
  if (FAILED(call(&text)) || text == nullptr) return {};
  std::string utf8 = FromWide(std::wstring(text, ::SysStringLen(text)), CP_UTF8);
  ::SysFreeString(text);
  return utf8;
}

// The principal's account by its SID, however the definition spells it ("SYSTEM", "S-1-5-18").
std::string SidOf(const std::string& account) {
  if (account.empty() || account.starts_with("S-1-")) return account;
  const std::wstring wide = ToWide(account, CP_UTF8);
  std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
  DWORD sidSize = static_cast<DWORD>(sid.size());
  wchar_t domain[256] = L"";
  DWORD domainSize = 256;
  SID_NAME_USE use{};
  wchar_t* text = nullptr;
  if (!::LookupAccountNameW(nullptr, wide.c_str(), sid.data(), &sidSize, domain, &domainSize,
                            &use) ||
      !::ConvertSidToStringSidW(sid.data(), &text)) {
    return account;
  }
  const LocalMemory held(text);
  return FromWide(text, CP_UTF8);
}

}  // namespace

Status Win32System::FindTask(const std::string& name, FoundTask* found) {
  TaskFolder folder;
  if (folder.Opened() != kErrorSuccess) return folder.Opened();
  ComPointer<IRegisteredTask> task;
  if (const Status status = StatusOf(folder->GetTask(Bstr(name), task.Receive()))) return status;
  VARIANT_BOOL enabled = VARIANT_TRUE;
  if (SUCCEEDED(task->get_Enabled(&enabled))) found->enabled = enabled != VARIANT_FALSE;
  ComPointer<ITaskDefinition> definition;
  if (FAILED(task->get_Definition(definition.Receive()))) return kErrorSuccess;
  ComPointer<IPrincipal> principal;
  if (SUCCEEDED(definition->get_Principal(principal.Receive()))) {
    found->principalSid = SidOf(TextFrom([&](BSTR* text) { return principal->get_UserId(text); }));
  }
  ComPointer<IActionCollection> actions;
  ComPointer<IAction> first;
  ComPointer<IExecAction> exec;
  TASK_ACTION_TYPE type{};
  if (SUCCEEDED(definition->get_Actions(actions.Receive())) &&
      SUCCEEDED(actions->get_Item(1, first.Receive())) && SUCCEEDED(first->get_Type(&type)) &&
      type == TASK_ACTION_EXEC &&
      SUCCEEDED(
          first->QueryInterface(__uuidof(IExecAction), reinterpret_cast<void**>(exec.Receive())))) {
    found->command = TextFrom([&](BSTR* text) { return exec->get_Path(text); });
    found->arguments = TextFrom([&](BSTR* text) { return exec->get_Arguments(text); });
  }
  return kErrorSuccess;
}

}  // namespace win
