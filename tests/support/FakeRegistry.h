#pragma once
// An in-memory registry that behaves like the real one where the program relies on it: names
// compared case-insensitively and kept as first written, every missing key created along a path,
// the error codes Windows returns, bytes stored exactly, the WOW64 redirector. Tests can deny write
// access to a key, count the handles left open, and cut a process off at any registry call.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryApi.h"
#include "tests/support/CallLog.h"

namespace win {

struct StoredValue {
  std::string name;
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// Every key below HKEY_LOCAL_MACHINE by full path as written, with its values sorted by name: two
// registries hold the same data exactly when their trees are equal.
using RegistryTree = std::map<std::string, std::vector<StoredValue>>;

// What RegRenameKey answers, on Windows and Wine alike, when the new name is taken.
inline constexpr Status kRenameOntoExistingKey = kErrorAccessDenied;

class FakeRegistry : public RegistryApi {
 public:
  // `processKind` is the process's, which decides whether the redirector applies.
  FakeRegistry(CallLog& log, const ProcessKind& processKind);
  ~FakeRegistry() override;

  // --- the registry as tests arrange and inspect it; paths below HKEY_LOCAL_MACHINE ---
  void CreateKey(const std::string& path);
  void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  void SetDword(const std::string& path, const std::string& name, std::uint32_t number);
  void RemoveValue(const std::string& path, const std::string& name);
  void RemoveKey(const std::string& path);  // with everything below it
  [[nodiscard]] bool KeyExists(const std::string& path) const;
  [[nodiscard]] std::optional<StoredValue> Value(const std::string& path,
                                                 const std::string& name) const;
  // Subkey and value names of a key as written, in creation order.
  [[nodiscard]] std::vector<std::string> SubkeyNames(const std::string& path) const;
  [[nodiscard]] std::vector<StoredValue> Values(const std::string& path) const;
  // The key may still be opened for reading, but not for full access, not written, and no
  // subkey may be created below it.
  void DenyWriteAccess(const std::string& path);
  // The key cannot be opened at all (an ACL, security software): access denied, not "not found".
  void DenyAllAccess(const std::string& path);
  [[nodiscard]] RegistryTree Tree() const;
  // Windows before Vista: RegRenameKey cannot be bound.
  void RemoveRegRenameKey() { hasRenameKey_ = false; }
  void SetProcessorIdentifier(const std::string& identifier);
  void RemoveProcessorIdentifier();
  [[nodiscard]] int OpenHandleCount() const { return static_cast<int>(handles_.size()); }

  // --- a process cut off part way ---
  // From the nth registry call from now (1-based) on, no registry call reaches the registry, as
  // if the process had been killed there; until StartNewProcess.
  void KillAtRegistryCall(int nth) { killAt_ = registryCalls_ + nth; }
  // A new process on the same machine: the dead one's handles are gone, the registry stays.
  void StartNewProcess();
  [[nodiscard]] int RegistryCallCount() const { return registryCalls_; }

  // --- RegistryApi ---
  Status RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                       std::uint32_t access, KeyHandle* result) override;
  Status RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t access,
                         KeyHandle* result, std::uint32_t* disposition) override;
  Status RegDeleteKeyA(KeyHandle key, const char* subKey, std::uint32_t viewFlag) override;
  Status RegRenameKey(KeyHandle key, const char* subKey, const char* newName) override;
  bool HasRegRenameKey() override { return hasRenameKey_; }
  Status RegEnumKeyExA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegEnumValueA(KeyHandle key, std::uint32_t index, std::string* name) override;
  Status RegQueryInfoKeyA(KeyHandle key, std::uint32_t* subKeys, std::uint32_t* values) override;
  Status RegDeleteValueA(KeyHandle key, const char* valueName) override;
  Status RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t reserved,
                        std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) override;
  Status RegCloseKey(KeyHandle key) override;
  Status RegOpenKeyA(KeyHandle root, const char* subKey, KeyHandle* result) override;
  Status RegQueryValueExA(KeyHandle key, const char* valueName, std::uint32_t* reserved,
                          std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;

 private:
  struct Node;
  struct OpenKey {
    Node* node = nullptr;
    bool writable = false;
  };
  enum class OpenAccess { Read, Write, MaximumAllowed };

  // The key a registry call works on, its path noted in the call; null, with the status to
  // answer, when the process was cut off, the handle is unknown or its key was deleted.
  Node* TargetKey(RecordedCall& call, KeyHandle key, Status* failure, bool* writable);
  // Records a registry call; false from the call where the process was cut off.
  bool RegistryCall(RecordedCall& call);
  Node* Resolve(KeyHandle key, bool* writable);
  Node* Find(Node* from, const std::string& subKey) const;
  Status OpenExisting(KeyHandle root, const char* subKey, OpenAccess wanted, KeyHandle* result,
                      RecordedCall& call);
  KeyHandle NewHandle(Node* node, bool writable);
  std::string PathOf(const Node* node) const;
  [[nodiscard]] std::string Redirected(KeyHandle root, const std::string& subKey,
                                       std::uint32_t access) const;
  Node* Ensure(const std::string& path);
  [[nodiscard]] const Node* Lookup(const std::string& path) const;

  CallLog& log_;
  const ProcessKind& processKind_;
  std::unique_ptr<Node> localMachine_;
  std::vector<std::unique_ptr<Node>> deletedKeys_;  // kept so that handles to them stay valid
  bool hasRenameKey_ = true;
  int registryCalls_ = 0;
  int killAt_ = 0;
  bool killed_ = false;
  std::map<KeyHandle, OpenKey> handles_;
  KeyHandle nextHandle_ = 0x1000;
};

// Bytes of an ASCII text, as the tests compare stored data.
std::vector<std::uint8_t> Bytes(const std::string& text);
// A text as Windows stores it when the program writes it: with its terminator, unless empty.
std::vector<std::uint8_t> StoredText(const std::string& text);

}  // namespace win
