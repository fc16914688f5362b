#include "tests/support/FakeRegistry.h"

#include "tests/support/AnsiCodePage.h"

#include <algorithm>

namespace win {

namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";

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

}  // namespace

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::vector<std::uint8_t> StoredText(const std::string& text) {
  auto bytes = Bytes(text);
  if (!bytes.empty()) bytes.push_back(0);
  return bytes;
}

struct FakeRegistry::Node {
  std::string name;
  Node* parent = nullptr;
  bool writeDenied = false;
  bool openDenied = false;
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
    subkeys.push_back(std::make_unique<Node>(Node{childName, this, false, false, false, {}, {}}));
    return subkeys.back().get();
  }
  StoredValue* FindValue(const std::string& valueName) {
    for (auto& value : values) {
      if (SameName(value.name, valueName)) return &value;
    }
    return nullptr;
  }
};

FakeRegistry::FakeRegistry(CallLog& log, const ProcessKind& processKind)
    : log_(log),
      processKind_(processKind),
      localMachine_(std::make_unique<Node>(Node{"HKLM", nullptr, false, false, false, {}, {}})) {
  SetProcessorIdentifier("Intel64 Family 6 Model 58 Stepping 9");
}

FakeRegistry::~FakeRegistry() = default;

// ---------------------------------------------------------------- arranging and inspecting

FakeRegistry::Node* FakeRegistry::Ensure(const std::string& path) {
  Node* node = localMachine_.get();
  for (const auto& part : SplitPath(path)) {
    Node* child = node->Child(part);
    node = child != nullptr ? child : node->AddChild(part);
  }
  return node;
}

const FakeRegistry::Node* FakeRegistry::Lookup(const std::string& path) const {
  return Find(localMachine_.get(), path);
}

FakeRegistry::Node* FakeRegistry::Find(Node* from, const std::string& subKey) const {
  Node* node = from;
  for (const auto& part : SplitPath(subKey)) {
    node = node->Child(part);
    if (node == nullptr) return nullptr;
  }
  return node;
}

void FakeRegistry::CreateKey(const std::string& path) { Ensure(path); }

void FakeRegistry::SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                           std::vector<std::uint8_t> data) {
  Node* node = Ensure(path);
  if (StoredValue* existing = node->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(data);
  } else {
    node->values.push_back({name, type, std::move(data)});
  }
}

void FakeRegistry::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  // As `reg add` stores it, and as the ANSI entry points hold it.
  auto data = Bytes(Utf8ToAnsi(text));
  data.push_back(0);
  SetValue(path, name, kRegSz, std::move(data));
}

void FakeRegistry::SetDword(const std::string& path, const std::string& name, std::uint32_t number) {
  std::vector<std::uint8_t> data(4);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(number >> (8 * i));
  SetValue(path, name, kRegDword, std::move(data));
}

void FakeRegistry::RemoveValue(const std::string& path, const std::string& name) {
  if (Node* node = Find(localMachine_.get(), path)) {
    std::erase_if(node->values, [&](const StoredValue& value) { return SameName(value.name, name); });
  }
}

void FakeRegistry::RemoveKey(const std::string& path) {
  Node* node = Find(localMachine_.get(), path);
  if (node == nullptr || node->parent == nullptr) return;
  std::erase_if(node->parent->subkeys, [&](const auto& child) { return child.get() == node; });
}

bool FakeRegistry::KeyExists(const std::string& path) const { return Lookup(path) != nullptr; }

std::optional<StoredValue> FakeRegistry::Value(const std::string& path,
                                              const std::string& name) const {
  const Node* node = Lookup(path);
  if (node == nullptr) return std::nullopt;
  for (const auto& value : node->values) {
    if (SameName(value.name, name)) return value;
  }
  return std::nullopt;
}

std::vector<std::string> FakeRegistry::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Lookup(path)) {
    for (const auto& child : node->subkeys) names.push_back(child->name);
  }
  return names;
}

std::vector<StoredValue> FakeRegistry::Values(const std::string& path) const {
  const Node* node = Lookup(path);
  return node == nullptr ? std::vector<StoredValue>{} : node->values;
}

void FakeRegistry::DenyWriteAccess(const std::string& path) { Ensure(path)->writeDenied = true; }

void FakeRegistry::DenyAllAccess(const std::string& path) { Ensure(path)->openDenied = true; }

namespace {

void AddToTree(const std::string& path, const auto& node, RegistryTree& tree) {
  auto values = node.values;
  std::sort(values.begin(), values.end(),
            [](const StoredValue& a, const StoredValue& b) { return a.name < b.name; });
  tree[path] = std::move(values);
  for (const auto& child : node.subkeys) AddToTree(path + "\\" + child->name, *child, tree);
}

}  // namespace

RegistryTree FakeRegistry::Tree() const {
  RegistryTree tree;
  for (const auto& child : localMachine_->subkeys) AddToTree(child->name, *child, tree);
  return tree;
}

void FakeRegistry::StartNewProcess() {
  handles_.clear();
  killAt_ = 0;
  killed_ = false;
}

void FakeRegistry::SetProcessorIdentifier(const std::string& identifier) {
  SetString(kProcessorKey, "Identifier", identifier);
}

void FakeRegistry::RemoveProcessorIdentifier() {
  if (Node* node = Find(localMachine_.get(), kProcessorKey)) {
    std::erase_if(node->values, [](const StoredValue& v) { return SameName(v.name, "Identifier"); });
  }
}

// ---------------------------------------------------------------- internals

FakeRegistry::Node* FakeRegistry::TargetKey(RecordedCall& call, KeyHandle key, Status* failure,
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

bool FakeRegistry::RegistryCall(RecordedCall& call) {
  if (!killed_ && ++registryCalls_ == killAt_) killed_ = true;
  if (killed_) call.valueName += " (after the process was killed)";
  return !killed_;
}

FakeRegistry::Node* FakeRegistry::Resolve(KeyHandle key, bool* writable) {
  if (key == kLocalMachine) {
    *writable = !localMachine_->writeDenied;
    return localMachine_.get();
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return nullptr;
  *writable = it->second.writable;
  return it->second.node;  // may be a deleted key: the callers refuse it
}

KeyHandle FakeRegistry::NewHandle(Node* node, bool writable) {
  const KeyHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = OpenKey{node, writable};
  return handle;
}

std::string FakeRegistry::PathOf(const Node* node) const {
  std::string path;
  for (; node != nullptr; node = node->parent) {
    path = path.empty() ? node->name : node->name + "\\" + path;
  }
  return path;
}

Status FakeRegistry::OpenExisting(KeyHandle root, const char* subKey, OpenAccess wanted,
                                 KeyHandle* result, RecordedCall& call) {
  bool rootWritable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, root, &failure, &rootWritable);
  if (base == nullptr) return failure;
  if (!TextOrEmpty(subKey).empty()) call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (result == nullptr) return kErrorInvalidParameter;
  Node* node = Find(base, TextOrEmpty(subKey));
  if (node == nullptr) return kErrorFileNotFound;
  if (node->openDenied) return kErrorAccessDenied;
  if (wanted == OpenAccess::Write && node->writeDenied) return kErrorAccessDenied;
  *result = NewHandle(node, wanted != OpenAccess::Read && !node->writeDenied);
  return kErrorSuccess;
}

// ---------------------------------------------------------------- WindowsApi

// Where a path below HKEY_LOCAL_MACHINE lands for this process: a 32-bit process under WOW64
// that does not ask for the 64-bit view has "SOFTWARE" redirected to "SOFTWARE\Wow6432Node".
std::string FakeRegistry::Redirected(KeyHandle root, const std::string& subKey,
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

Status FakeRegistry::RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t /*options*/,
                                  std::uint32_t access, KeyHandle* result) {
  auto& call = log_.Record("RegOpenKeyExA");
  call.type = access;
  const bool wantWrite = (access & ~(kKeyRead | kKeyWow64_64Key)) != 0;
  const std::string path = Redirected(root, TextOrEmpty(subKey), access);
  return OpenExisting(root, path.c_str(), wantWrite ? OpenAccess::Write : OpenAccess::Read, result,
                      call);
}

Status FakeRegistry::RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) {
  auto& call = log_.Record("RegOpenKeyA");
  const std::string path = Redirected(root, TextOrEmpty(subKey), 0);
  // Without an access mask the key opens with what is allowed: writable unless denied.
  return OpenExisting(root, path.c_str(), OpenAccess::MaximumAllowed, result, call);
}

Status FakeRegistry::RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                                    KeyHandle* result, std::uint32_t* disposition) {
  auto& call = log_.Record("RegCreateKeyExA");
  call.type = access;
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, root, &failure, &writable);
  if (node == nullptr) return failure;
  const std::string path = Redirected(root, TextOrEmpty(subKey), access);
  call.keyPath += "\\" + path;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
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
    if (node->openDenied) return kErrorAccessDenied;
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
Status FakeRegistry::RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) {
  auto& call = log_.Record("RegDeleteKeyA");
  call.type = viewFlag;
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, key, &failure, &writable);
  if (base == nullptr) return failure;
  call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
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
Status FakeRegistry::RegRenameKey(KeyHandle key, const char* subKey, const char* newName) {
  auto& call = log_.Record("RegRenameKey");
  call.valueName = TextOrEmpty(newName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* base = TargetKey(call, key, &failure, &writable);
  if (base == nullptr) return failure;
  if (!hasRenameKey_) return kErrorCallNotImplemented;
  if (!TextOrEmpty(subKey).empty()) call.keyPath += "\\" + TextOrEmpty(subKey);
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  Node* node = Find(base, TextOrEmpty(subKey));
  if (node == nullptr) return kErrorFileNotFound;
  if (node->parent == nullptr || !writable || node->writeDenied) return kErrorAccessDenied;
  if (node->parent->Child(call.valueName) != nullptr) return kRenameOntoExistingKey;
  node->name = call.valueName;
  return kErrorSuccess;
}

Status FakeRegistry::RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) {
  auto& call = log_.Record("RegEnumValueA");
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (index >= node->values.size()) return kErrorNoMoreItems;
  if (name != nullptr) *name = node->values[index].name;
  return kErrorSuccess;
}

Status FakeRegistry::RegDeleteValueA(KeyHandle key, const char* valueName) {
  auto& call = log_.Record("RegDeleteValueA");
  call.valueName = TextOrEmpty(valueName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (!writable) return kErrorAccessDenied;
  const auto removed = std::erase_if(
      node->values, [&](const StoredValue& value) { return SameName(value.name, call.valueName); });
  return removed == 0 ? kErrorFileNotFound : kErrorSuccess;
}

Status FakeRegistry::RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) {
  auto& call = log_.Record("RegEnumKeyExA");
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (index >= node->subkeys.size()) return kErrorNoMoreItems;
  if (name != nullptr) *name = node->subkeys[index]->name;
  return kErrorSuccess;
}

Status FakeRegistry::RegQueryInfoKeyA(KeyHandle key, std::uint32_t* subKeys, std::uint32_t* values) {
  auto& call = log_.Record("RegQueryInfoKeyA");
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (subKeys != nullptr) *subKeys = static_cast<std::uint32_t>(node->subkeys.size());
  if (values != nullptr) *values = static_cast<std::uint32_t>(node->values.size());
  return kErrorSuccess;
}

Status FakeRegistry::RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                                   std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t size) {
  auto& call = log_.Record("RegSetValueExA");
  call.valueName = TextOrEmpty(valueName);
  call.type = type;
  if (data != nullptr) call.data.assign(data, data + size);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (reserved != 0 || (data == nullptr && size != 0)) return kErrorInvalidParameter;
  if (!writable) return kErrorAccessDenied;
  const std::string name = TextOrEmpty(valueName);
  std::vector<std::uint8_t> bytes = call.data;
  // As Windows (and Wine) do: string data whose terminator was not counted, but follows it
  // directly, is stored with its terminator.
  const bool isString = type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
  if (isString && size > 0 && data[size - 1] != 0 && data[size] == 0) bytes.push_back(0);
  if (isString) bytes = Bytes(Utf8ToAnsi(std::string(bytes.begin(), bytes.end())));
  if (StoredValue* existing = node->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(bytes);
  } else {
    node->values.push_back({name, type, std::move(bytes)});
  }
  return kErrorSuccess;
}

Status FakeRegistry::RegCloseKey(KeyHandle key) {
  auto& call = log_.Record("RegCloseKey");
  if (!RegistryCall(call)) return kErrorInvalidHandle;
  if (key == kLocalMachine) return kErrorSuccess;
  const auto it = handles_.find(key);
  if (it == handles_.end()) return kErrorInvalidHandle;
  call.keyPath = PathOf(it->second.node);
  handles_.erase(it);
  return kErrorSuccess;
}

Status FakeRegistry::RegQueryValueExA(KeyHandle key, const char* valueName,
                                     std::uint32_t* reserved, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* size) {
  auto& call = log_.Record("RegQueryValueExA");
  call.valueName = TextOrEmpty(valueName);
  bool writable = false;
  Status failure = kErrorSuccess;
  Node* node = TargetKey(call, key, &failure, &writable);
  if (node == nullptr) return failure;
  if (const auto fault = log_.InjectedFault(call)) return *fault;
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return kErrorInvalidParameter;
  const StoredValue* value = node->FindValue(TextOrEmpty(valueName));
  if (value == nullptr) return kErrorFileNotFound;
  if (type != nullptr) *type = value->type;
  const bool isString = value->type == kRegSz || value->type == kRegExpandSz ||
                        value->type == kRegMultiSz;
  // Text reaches the program in UTF-8, converted from the code page the ANSI entry point gives.
  const std::vector<std::uint8_t> given =
      isString ? Bytes(AnsiToUtf8(std::string(value->data.begin(), value->data.end()))) : value->data;
  const auto stored = static_cast<std::uint32_t>(given.size());
  if (data != nullptr) {
    if (*size < stored) {
      *size = stored;
      return kErrorMoreData;
    }
    std::copy(given.begin(), given.end(), data);
    // As on Windows, a string read gets a NUL after its data when the buffer has room for one
    // (not counted in the size).
    if (isString && *size > stored) data[stored] = 0;
  }
  if (size != nullptr) *size = stored;
  return kErrorSuccess;
}

}  // namespace win
