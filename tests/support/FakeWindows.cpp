#include "tests/support/FakeWindows.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace win {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string TextOrEmpty(const char* text) { return text == nullptr ? std::string() : text; }

// What the Get...DirectoryA functions answer: the length copied, the size needed (terminator
// included) when the buffer is too small, 0 when there is no such directory.
std::uint32_t CopyDirectory(const std::string& directory, char* buffer, std::uint32_t size) {
  if (directory.empty()) return 0;
  const auto length = static_cast<std::uint32_t>(directory.size());
  if (size <= length) return length + 1;
  std::memcpy(buffer, directory.c_str(), length + 1);
  return length;
}

}  // namespace

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

struct FakeWindows::Node {
  std::string name;
  Node* parent = nullptr;
  bool writeDenied = false;
  bool deleted = false;
  std::vector<std::unique_ptr<Node>> subkeys;
  std::vector<StoredValue> values;

  Node* Child(const std::string& childName) const {
    for (const auto& child : subkeys) {
      if (SameName(child->name, childName)) return child.get();
    }
    return nullptr;
  }
  Node* AddChild(const std::string& childName) {
    subkeys.push_back(std::make_unique<Node>(Node{childName, this, false, false, {}, {}}));
    return subkeys.back().get();
  }
  StoredValue* FindValue(const std::string& valueName) {
    for (auto& value : values) {
      if (SameName(value.name, valueName)) return &value;
    }
    return nullptr;
  }
};

FakeWindows::FakeWindows()
    : localMachine_(std::make_unique<Node>(Node{"HKLM", nullptr, false, false, {}, {}})) {
  SetVersion(2, 6, 1);
  SetProcessorIdentifier("Intel64 Family 6 Model 58 Stepping 9");
}

FakeWindows::~FakeWindows() = default;

// ---------------------------------------------------------------- arranging and inspecting

FakeWindows::Node* FakeWindows::Ensure(const std::string& path) {
  Node* node = localMachine_.get();
  for (const auto& part : SplitPath(path)) {
    Node* child = node->Child(part);
    node = child != nullptr ? child : node->AddChild(part);
  }
  return node;
}

const FakeWindows::Node* FakeWindows::Lookup(const std::string& path) const {
  return Find(localMachine_.get(), path);
}

FakeWindows::Node* FakeWindows::Find(Node* from, const std::string& subKey) const {
  Node* node = from;
  for (const auto& part : SplitPath(subKey)) {
    node = node->Child(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

void FakeWindows::CreateKey(const std::string& path) { Ensure(path); }

void FakeWindows::SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                           std::vector<std::uint8_t> data) {
  Node* node = Ensure(path);
  if (StoredValue* existing = node->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(data);
  } else {
    node->values.push_back({name, type, std::move(data)});
  }
}

void FakeWindows::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  auto data = Bytes(text);
  data.push_back(0);
  SetValue(path, name, kRegSz, std::move(data));
}

void FakeWindows::SetDword(const std::string& path, const std::string& name, std::uint32_t number) {
  std::vector<std::uint8_t> data(4);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(number >> (8 * i));
  SetValue(path, name, kRegDword, std::move(data));
}

void FakeWindows::RemoveValue(const std::string& path, const std::string& name) {
  if (Node* node = Find(localMachine_.get(), path)) {
    std::erase_if(node->values, [&](const StoredValue& value) { return SameName(value.name, name); });
  }
}

void FakeWindows::RemoveKey(const std::string& path) {
  Node* node = Find(localMachine_.get(), path);
  if (node == nullptr || node->parent == nullptr) return;
  std::erase_if(node->parent->subkeys, [&](const auto& child) { return child.get() == node; });
}

bool FakeWindows::KeyExists(const std::string& path) const { return Lookup(path) != nullptr; }

std::optional<StoredValue> FakeWindows::Value(const std::string& path,
                                              const std::string& name) const {
  const Node* node = Lookup(path);
  if (node == nullptr) return std::nullopt;
  for (const auto& value : node->values) {
    if (SameName(value.name, name)) return value;
  }
  return std::nullopt;
}

std::vector<std::string> FakeWindows::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Lookup(path)) {
    for (const auto& child : node->subkeys) names.push_back(child->name);
  }
  return names;
}

std::vector<StoredValue> FakeWindows::Values(const std::string& path) const {
  const Node* node = Lookup(path);
  return node == nullptr ? std::vector<StoredValue>{} : node->values;
}

void FakeWindows::DenyWriteAccess(const std::string& path) { Ensure(path)->writeDenied = true; }

namespace {

void AddToTree(const std::string& path, const auto& node, RegistryTree& tree) {
  auto values = node.values;
  std::sort(values.begin(), values.end(),
            [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
  tree[path] = std::move(values);
  for (const auto& child : node.subkeys) AddToTree(path + "\\" + child->name, *child, tree);
}

}  // namespace

RegistryTree FakeWindows::Tree() const {
  RegistryTree tree;
  for (const auto& child : localMachine_->subkeys) AddToTree(child->name, *child, tree);
  return tree;
}

void FakeWindows::StartNewProcess() {
  handles_.clear();
  killAt_ = 0;
  killed_ = false;
}

void FakeWindows::SetVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
  version_ = OsVersionInfo{};
  version_.platformId = platformId;
  version_.majorVersion = major;
  version_.minorVersion = minor;
}

void FakeWindows::SetSystemDirectory(std::string directory) {
  systemDirectory_ = std::move(directory);
}

void FakeWindows::SetLocalDate(LocalDate date) { date_ = date; }

void FakeWindows::SetProcessorIdentifier(const std::string& identifier) {
  SetString(kProcessorKey, "Identifier", identifier);
}

void FakeWindows::RemoveProcessorIdentifier() {
  if (Node* node = Find(localMachine_.get(), kProcessorKey)) {
    std::erase_if(node->values, [](const StoredValue& v) { return SameName(v.name, "Identifier"); });
  }
}

void FakeWindows::FailCall(const std::string& function, int nth, Status status) {
  faults_.push_back({function, nth, status});
}

void FakeWindows::ThrowOnCall(const std::string& function, int nth) {
  faults_.push_back({function, nth, std::nullopt});
}

std::vector<std::string> FakeWindows::CallNames() const {
  std::vector<std::string> names;
  for (const auto& call : calls_) names.push_back(call.function);
  return names;
}

int FakeWindows::CountCalls(const std::string& function) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const RecordedCall& c) { return c.function == function; }));
}

std::vector<RecordedCall> FakeWindows::MessageBoxes() const {
  std::vector<RecordedCall> boxes;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(boxes),
               [](const RecordedCall& c) { return c.function == "MessageBoxA"; });
  return boxes;
}

// ---------------------------------------------------------------- internals

RecordedCall& FakeWindows::Record(std::string function) {
  const auto pending = std::find_if(pending_.begin(), pending_.end(),
                                    [&](const auto& each) { return each.first == function; });
  if (pending != pending_.end()) {
    const auto action = std::move(pending->second);
    pending_.erase(pending);
    action();
  }
  calls_.emplace_back();
  calls_.back().function = std::move(function);
  return calls_.back();
}

FakeWindows::Node* FakeWindows::TargetKey(RecordedCall& call, KeyHandle key, Status* failure,
                                          bool* writable) {
  *failure = kErrorInvalidHandle;
  if (!RegistryCall(call)) return nullptr;
  Node* node = Resolve(key, writable);
  if (node == nullptr) return nullptr;
  if (node->deleted) {
    *failure = kErrorKeyDeleted;
    return nullptr;
  }
  call.keyPath = PathOf(node);
  return node;
}

bool FakeWindows::RegistryCall(RecordedCall& call) {
  if (!killed_ && ++registryCalls_ == killAt_) killed_ = true;
  if (killed_) call.valueName += " (after the process was killed)";
  return !killed_;
}

std::optional<Status> FakeWindows::InjectedFault(const std::string& function) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->function != function || --it->remaining > 0) continue;
    const auto status = it->status;
    faults_.erase(it);
    if (!status) throw std::runtime_error("injected failure of " + function);
    return status;
  }
  return std::nullopt;
}

FakeWindows::Node* FakeWindows::Resolve(KeyHandle key, bool* writable) {
  if (key == kLocalMachine) {
    *writable = !localMachine_->writeDenied;
    return localMachine_.get();
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return nullptr;
  *writable = it->second.writable;
  return it->second.node;  // may be a deleted key: the callers refuse it
}

KeyHandle FakeWindows::NewHandle(Node* node, bool writable) {
  const KeyHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = OpenKey{node, writable};
  return handle;
}

std::string FakeWindows::PathOf(const Node* node) const {
  std::string path;
  for (; node != nullptr; node = node->parent) {
    path = path.empty() ? node->name : node->name + "\\" + path;
  }
  return path;
}

Status FakeWindows::OpenExisting(KeyHandle root, const char* subKey, OpenAccess wanted,
                                 KeyHandle* result, RecordedCall& call) {
  bool rootWritable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, root, &failure, &rootWritable);
  if (base == nullptr) return failure;
  if (!TextOrEmpty(subKey).empty()) call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (result == nullptr) return kErrorInvalidParameter;
  Node* node = Find(base, TextOrEmpty(subKey));
  if (node == nullptr) return kErrorFileNotFound;
  if (wanted == OpenAccess::Write && node->writeDenied) return kErrorAccessDenied;
  *result = NewHandle(node, wanted != OpenAccess::Read && !node->writeDenied);
  return kErrorSuccess;
}

// ---------------------------------------------------------------- WindowsApi

// Where a path below HKEY_LOCAL_MACHINE lands for this process: a 32-bit process under WOW64
// that does not ask for the 64-bit view has "SOFTWARE" redirected to "SOFTWARE\Wow6432Node".
std::string FakeWindows::Redirected(KeyHandle root, const std::string& subKey,
                                    std::uint32_t access) const {
  const auto parts = SplitPath(subKey);
  const bool redirected = processKind_ == ProcessKind::Wow64 && root == kLocalMachine &&
                          (access & kKeyWow64_64Key) == 0 && !parts.empty() &&
                          SameName(parts[0], "SOFTWARE") &&
                          !(parts.size() > 1 && SameName(parts[1], "Wow6432Node"));
  if (!redirected) return subKey;
  std::string path = parts[0] + "\\Wow6432Node";
  for (std::size_t i = 1; i < parts.size(); ++i) path += "\\" + parts[i];
  return path;
}

Status FakeWindows::RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t /*options*/,
                                  std::uint32_t access, KeyHandle* result) {
  auto& call = Record("RegOpenKeyExA");
  call.type = access;
  const bool wantWrite = (access & ~(kKeyRead | kKeyWow64_64Key)) != 0;
  const std::string path = Redirected(root, TextOrEmpty(subKey), access);
  return OpenExisting(root, path.c_str(), wantWrite ? OpenAccess::Write : OpenAccess::Read, result,
                      call);
}

Status FakeWindows::RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) {
  auto& call = Record("RegOpenKeyA");
  const std::string path = Redirected(root, TextOrEmpty(subKey), 0);
  // Without an access mask the key opens with what is allowed: writable unless denied.
  return OpenExisting(root, path.c_str(), OpenAccess::MaximumAllowed, result, call);
}

Status FakeWindows::RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                    KeyHandle* result, std::uint32_t* disposition) {
  auto& call = Record("RegCreateKeyExA");
  call.type = access;
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, root, &failure, &writable);
  if (node == nullptr) return failure;
  const std::string path = Redirected(root, TextOrEmpty(subKey), access);
  call.keyPath += "\\" + path;
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (result == nullptr) return kErrorInvalidParameter;
  std::uint32_t what = kOpenedExistingKey;
  for (const auto& part : SplitPath(path)) {
    Node* child = node->Child(part);
    if (child == nullptr) {
      if (node->writeDenied) return kErrorAccessDenied;
      child = node->AddChild(part);
      what = kCreatedNewKey;
    }
    node = child;
  }
  if (what == kOpenedExistingKey && node->writeDenied && (access & ~(kKeyRead | kKeyWow64_64Key))) {
    return kErrorAccessDenied;
  }
  *result = NewHandle(node, !node->writeDenied);
  if (disposition != nullptr) *disposition = what;
  return kErrorSuccess;
}

// As on Windows: a key with subkeys cannot be deleted in one call; the key goes at once, and
// handles still open on it only report it deleted.
Status FakeWindows::RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) {
  auto& call = Record("RegDeleteKeyA");
  call.type = viewFlag;
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, key, &failure, &writable);
  if (base == nullptr) return failure;
  call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = InjectedFault(call.function)) return *fault;
  Node* node = Find(base, TextOrEmpty(subKey));
  if (node == nullptr || node == base) return kErrorFileNotFound;
  if (!node->subkeys.empty() || node->writeDenied || node->parent->writeDenied) {
    return kErrorAccessDenied;
  }
  auto& siblings = node->parent->subkeys;
  const auto it = std::find_if(siblings.begin(), siblings.end(),
                               [&](const auto& sibling) { return sibling.get() == node; });
  node->deleted = true;
  deletedKeys_.push_back(std::move(*it));
  siblings.erase(it);
  return kErrorSuccess;
}

// As on Windows (and Wine): renaming onto a name a sibling already has is refused.
Status FakeWindows::RegRenameKey(KeyHandle key, const char* subKey, const char* newName) {
  auto& call = Record("RegRenameKey");
  call.valueName = TextOrEmpty(newName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, key, &failure, &writable);
  if (base == nullptr) return failure;
  if (!hasRenameKey_) return kErrorCallNotImplemented;
  if (!TextOrEmpty(subKey).empty()) call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = InjectedFault(call.function)) return *fault;
  Node* node = Find(base, TextOrEmpty(subKey));
  if (node == nullptr) return kErrorFileNotFound;
  if (node->parent == nullptr || !writable || node->writeDenied) return kErrorAccessDenied;
  if (node->parent->Child(call.valueName) != nullptr) return kRenameOntoExistingKey;
  node->name = call.valueName;
  return kErrorSuccess;
}

Status FakeWindows::RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) {
  auto& call = Record("RegEnumValueA");
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (index >= node->values.size()) return kErrorNoMoreItems;
  if (name != nullptr) *name = node->values[index].name;
  return kErrorSuccess;
}

Status FakeWindows::RegDeleteValueA(KeyHandle key, const char* valueName) {
  auto& call = Record("RegDeleteValueA");
  call.valueName = TextOrEmpty(valueName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (!writable) return kErrorAccessDenied;
  const auto removed = std::erase_if(
      node->values, [&](const StoredValue& value) { return SameName(value.name, call.valueName); });
  return removed == 0 ? kErrorFileNotFound : kErrorSuccess;
}

Status FakeWindows::RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) {
  auto& call = Record("RegEnumKeyExA");
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (index >= node->subkeys.size()) return kErrorNoMoreItems;
  if (name != nullptr) *name = node->subkeys[index]->name;
  return kErrorSuccess;
}

Status FakeWindows::RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                   std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t size) {
  auto& call = Record("RegSetValueExA");
  call.valueName = TextOrEmpty(valueName);
  call.type = type;
  if (data != nullptr) call.data.assign(data, data + size);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (reserved != 0 || (data == nullptr && size != 0)) return kErrorInvalidParameter;
  if (!writable) return kErrorAccessDenied;
  const std::string name = TextOrEmpty(valueName);
  std::vector<std::uint8_t> bytes = call.data;
  if (StoredValue* existing = node->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(bytes);
  } else {
    node->values.push_back({name, type, std::move(bytes)});
  }
  return kErrorSuccess;
}

Status FakeWindows::RegCloseKey(KeyHandle key) {
  auto& call = Record("RegCloseKey");
  if (!RegistryCall(call)) return kErrorInvalidHandle;
  if (key == kLocalMachine) return kErrorSuccess;
  const auto it = handles_.find(key);
  if (it == handles_.end()) return kErrorInvalidHandle;
  call.keyPath = PathOf(it->second.node);
  handles_.erase(it);
  return kErrorSuccess;
}

Status FakeWindows::RegQueryValueExA(KeyHandle key, const char* valueName,
                                     std::uint32_t* reserved, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* size) {
  auto& call = Record("RegQueryValueExA");
  call.valueName = TextOrEmpty(valueName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = InjectedFault(call.function)) return *fault;
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return kErrorInvalidParameter;
  const StoredValue* value = node->FindValue(TextOrEmpty(valueName));
  if (value == nullptr) return kErrorFileNotFound;
  if (type != nullptr) *type = value->type;
  const auto stored = static_cast<std::uint32_t>(value->data.size());
  if (data != nullptr) {
    if (*size < stored) {
      *size = stored;
      return kErrorMoreData;
    }
    std::copy(value->data.begin(), value->data.end(), data);
    // As on Windows, a string read gets a NUL after its data when the buffer has room for one
    // (not counted in the size).
    const bool isString = value->type == kRegSz || value->type == kRegExpandSz ||
                          value->type == kRegMultiSz;
    if (isString && *size > stored) data[stored] = 0;
  }
  if (size != nullptr) *size = stored;
  return kErrorSuccess;
}

bool FakeWindows::GetVersionExA(OsVersionInfo* info) {
  Record("GetVersionExA");
  if (info == nullptr || info->size != sizeof(OsVersionInfo)) return false;
  const auto servicePack = info->servicePack;
  *info = version_;
  info->size = sizeof(OsVersionInfo);
  info->servicePack = servicePack;
  return true;
}

ProcessKind FakeWindows::GetProcessKind() {
  Record("GetProcessKind");
  return processKind_;
}

std::uint32_t FakeWindows::GetSystemWow64DirectoryA(char* buffer, std::uint32_t size) {
  Record("GetSystemWow64DirectoryA");
  return CopyDirectory(wow64Directory_, buffer, size);
}

bool FakeWindows::WriteStandardOutput(const std::string& text) {
  Record("WriteStandardOutput").valueName = text;
  if (!standardOutput_) return false;
  *standardOutput_ += text;
  return true;
}

std::uint32_t FakeWindows::GetFileAttributesA(const char* path, bool nativeFileSystem) {
  auto& call = Record("GetFileAttributesA");
  call.keyPath = TextOrEmpty(path);
  call.type = nativeFileSystem ? 1 : 0;
  const bool found = std::any_of(diskFiles_.begin(), diskFiles_.end(), [&](const std::string& file) {
    return SameName(file, TextOrEmpty(path));
  });
  return found ? 0x20u /* FILE_ATTRIBUTE_ARCHIVE */ : kInvalidFileAttributes;
}

std::uint32_t FakeWindows::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  Record("GetSystemDirectoryA");
  return CopyDirectory(systemDirectory_, buffer, size);
}

LocalDate FakeWindows::GetLocalDate() {
  Record("GetLocalDate");
  return date_;
}

std::uint32_t FakeWindows::GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  Record("GetWindowsDirectoryA");
  return CopyDirectory(windowsDirectory_, buffer, size);
}

std::string FakeWindows::GetCommandLineW() {
  Record("GetCommandLineW");
  return commandLine_;
}

std::string FakeWindows::ErrorText(Status code) {
  switch (code) {
    case kErrorFileNotFound: return "The system cannot find the file specified.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    default: return "Error " + std::to_string(code) + ".";
  }
}

Status FakeWindows::WriteFileContents(const std::string& path, const std::string& contents) {
  Record("WriteFileContents").keyPath = path;
  if (std::find(unwritable_.begin(), unwritable_.end(), path) != unwritable_.end()) {
    return kErrorAccessDenied;
  }
  files_[path] = contents;
  return kErrorSuccess;
}

int FakeWindows::MessageBoxA(const char* text, const char* caption, std::uint32_t style) {
  auto& call = Record("MessageBoxA");
  call.valueName = TextOrEmpty(text);
  call.caption = TextOrEmpty(caption);
  call.type = style;
  if (const auto fault = InjectedFault(call.function)) return 0;
  return messageBoxAnswer_;
}

// ---------------------------------------------------------------- windows

const FakeWindow& FakeWindows::Window(WindowHandle window) const { return windows_.at(window); }

int FakeWindows::LiveWindowCount() const {
  return static_cast<int>(std::count_if(windows_.begin(), windows_.end(),
                                        [](const auto& w) { return !w.second.destroyed; }));
}

float FakeWindows::WholePixels(float twips) const {
  const float perPixel = 1440.0f / static_cast<float>(dpi_);
  return std::round(twips / perPixel) * perPixel;
}

FakeWindow& FakeWindows::LiveWindow(RecordedCall& call, WindowHandle window) {
  call.window = window;
  const auto it = windows_.find(window);
  if (it == windows_.end() || it->second.destroyed) {
    throw std::runtime_error(call.function + ": invalid window handle");
  }
  if (const auto fault = InjectedFault(call.function)) {
    throw std::runtime_error(call.function + " failed with error " + std::to_string(*fault));
  }
  return it->second;
}

WindowHandle FakeWindows::AddWindow(FakeWindow window) {
  const WindowHandle handle = nextWindow_;
  nextWindow_ += 0x10;
  windows_[handle] = std::move(window);
  calls_.back().window = handle;
  return handle;
}

WindowHandle FakeWindows::CreateFrameWindow(const FrameWindowDesign& design) {
  Record("CreateFrameWindow").caption = design.caption;
  if (const auto fault = InjectedFault("CreateFrameWindow")) {
    throw std::runtime_error("CreateFrameWindow failed with error " + std::to_string(*fault));
  }
  FakeWindow window{"frame", design.caption, {}, 0, 0, false, false, false, {}};
  window.size = {WholePixels(design.clientSize.width + frameAllowance_.width),
                 WholePixels(design.clientSize.height + frameAllowance_.height)};
  return AddWindow(std::move(window));
}

WindowHandle FakeWindows::CreateLabelWindow(const LabelWindowDesign& design) {
  Record("CreateLabelWindow").caption = design.caption;
  if (const auto fault = InjectedFault("CreateLabelWindow")) {
    throw std::runtime_error("CreateLabelWindow failed with error " + std::to_string(*fault));
  }
  FakeWindow window{"label", design.caption, {}, 0, 0, false, false, false, design.label};
  window.size = {WholePixels(design.clientSize.width + frameAllowance_.width),
                 WholePixels(design.clientSize.height + frameAllowance_.height)};
  return AddWindow(std::move(window));
}

void FakeWindows::ShowWindow(WindowHandle window) {
  FakeWindow& shown = LiveWindow(Record("ShowWindow"), window);
  shown.visible = true;
  shown.minimised = startMinimised_ && shown.kind == "frame";
}

bool FakeWindows::IsWindowOnScreen(WindowHandle window) {
  const FakeWindow& asked = LiveWindow(Record("IsWindowOnScreen"), window);
  return asked.visible && !asked.minimised;
}

void FakeWindows::RepaintWindow(WindowHandle window) { LiveWindow(Record("RepaintWindow"), window); }

void FakeWindows::DestroyWindow(WindowHandle window) {
  FakeWindow& destroyed = LiveWindow(Record("DestroyWindow"), window);
  destroyed.visible = false;
  destroyed.destroyed = true;
}

TwipSize FakeWindows::GetWindowSize(WindowHandle window) {
  return LiveWindow(Record("GetWindowSize"), window).size;
}

void FakeWindows::SetWindowWidth(WindowHandle window, float twips) {
  auto& call = Record("SetWindowWidth");
  call.number = twips;
  LiveWindow(call, window).size.width = WholePixels(twips);
}

void FakeWindows::SetWindowHeight(WindowHandle window, float twips) {
  auto& call = Record("SetWindowHeight");
  call.number = twips;
  LiveWindow(call, window).size.height = WholePixels(twips);
}

void FakeWindows::SetWindowLeft(WindowHandle window, float twips) {
  auto& call = Record("SetWindowLeft");
  call.number = twips;
  LiveWindow(call, window).left = twips;
}

void FakeWindows::SetWindowTop(WindowHandle window, float twips) {
  auto& call = Record("SetWindowTop");
  call.number = twips;
  LiveWindow(call, window).top = twips;
}

ColorRef FakeWindows::GetSysColor(int index) {
  Record("GetSysColor").number = index;
  const auto it = sysColors_.find(index);
  return it == sysColors_.end() ? 0 : it->second;
}

// ---------------------------------------------------------------- toolkit and automation

std::int32_t FakeWindows::fCreateShellLink(const char* folderName, const char* linkName,
                                           const char* linkPath, const char* linkArguments,
                                           std::int32_t privateFlag, const char* parentFolder) {
  auto& call = Record("fCreateShellLink");
  if (!toolkitPresent_) throw std::runtime_error("Vb6stkit.dll could not be loaded");
  call.texts = {TextOrEmpty(folderName), TextOrEmpty(linkName), TextOrEmpty(linkPath),
                TextOrEmpty(linkArguments), TextOrEmpty(parentFolder)};
  call.number = privateFlag;
  return 1;
}

std::int32_t FakeWindows::fRemoveShellLink(const char* folderName, const char* linkName) {
  auto& call = Record("fRemoveShellLink");
  if (!toolkitPresent_) throw std::runtime_error("Vb6stkit.dll could not be loaded");
  call.texts = {TextOrEmpty(folderName), TextOrEmpty(linkName)};
  return 1;
}

// WScript.Shell and Scripting.FileSystemObject, as far as the program uses them.
class FakeWindows::FakeAutomationObject : public AutomationObject {
 public:
  FakeAutomationObject(FakeWindows& windows, std::string programId)
      : windows_(windows), programId_(std::move(programId)) {}

  AutomationValue Invoke(const std::string& member,
                         const std::vector<AutomationValue>& arguments) override {
    auto& call = windows_.Record("Invoke");
    call.keyPath = programId_;
    call.valueName = member;
    for (const auto& argument : arguments) {
      if (const auto* text = std::get_if<std::string>(&argument)) call.texts.push_back(*text);
    }
    const std::string path = call.texts.empty() ? std::string() : call.texts.front();
    auto& folders = windows_.folders_;
    const auto found = std::find(folders.begin(), folders.end(), path);
    if (programId_ == "WScript.Shell" && member == "SpecialFolders" && path == "Desktop") {
      return windows_.desktopPath_;
    }
    if (programId_ == "Scripting.FileSystemObject" && member == "CreateFolder") {
      if (found != folders.end()) throw std::runtime_error("File already exists");
      folders.push_back(path);
      return {};
    }
    if (programId_ == "Scripting.FileSystemObject" && member == "DeleteFolder") {
      if (found == folders.end()) throw std::runtime_error("Path not found");
      folders.erase(found);
      return {};
    }
    throw std::runtime_error("Object doesn't support this property or method");
  }

 private:
  FakeWindows& windows_;
  std::string programId_;
};

std::unique_ptr<AutomationObject> FakeWindows::CreateObject(const std::string& programId) {
  Record("CreateObject").keyPath = programId;
  if (programId != "WScript.Shell" && programId != "Scripting.FileSystemObject") {
    throw std::runtime_error("ActiveX component can't create object");
  }
  return std::make_unique<FakeAutomationObject>(*this, programId);
}

}  // namespace win
