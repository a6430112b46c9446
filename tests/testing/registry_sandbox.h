// A private registry for one test: the predefined roots redirected into a
// scratch key that is deleted afterwards.
#pragma once

#include <windows.h>

#include <string>

namespace kx::testing {

// While alive, HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER (and, when asked,
// HKEY_USERS) of this process refer to empty subkeys of a fresh scratch key
// HKEY_CURRENT_USER\Software\KxTest\<unique> of the real user registry, by
// RegOverridePredefKey. Code under test reads and writes "HKLM\SOFTWARE\..."
// as usual and lands in the scratch key; nothing outside it is touched.
//
// The destructor restores the real predefined keys and deletes the whole
// scratch key (and Software\KxTest when it is left empty), so the values a
// test writes never outlive it.
//
// Limits: one sandbox at a time per process (a second one throws
// std::logic_error); the redirection is process-wide, so other threads see
// it too; child processes do not; the 32- and 64-bit registry views
// (KEY_WOW64_*) are one and the same inside the sandbox. Handles to a root
// opened before the sandbox keep pointing at the real registry.
class RegistrySandbox {
 public:
  enum Root : unsigned {
    kLocalMachine = 1,
    kCurrentUser = 2,
    kUsers = 4,
  };

  // Creates the scratch key and redirects the roots named in `roots` (a
  // combination of Root values). Throws std::runtime_error on failure, after
  // undoing what was done.
  explicit RegistrySandbox(unsigned roots = kLocalMachine | kCurrentUser);
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // The scratch key's path below the real HKEY_CURRENT_USER.
  const std::wstring& path() const { return path_; }

  // The path below the real HKEY_CURRENT_USER of the key that stands in for
  // `root` (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_USERS).
  std::wstring root_path(HKEY root) const;

  // An open handle (KEY_ALL_ACCESS) to the real scratch key, valid while the
  // sandbox lives; lets a test look behind the redirection.
  HKEY scratch_key() const { return scratch_; }

  // Writes a value through the (redirected) `root`, creating `key` as
  // needed; an empty `name` writes the key's default value. `bytes`/`size`
  // are stored as they are, so malformed data (a string without its NUL, an
  // odd length) can be planted; SetRaw writes through ntdll, since Wine's
  // RegSetValueExW adds a missing NUL. Each returns the Win32 result.
  static LONG SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                     const void* bytes, DWORD size);
  // A REG_SZ (or `type`) value with its terminating NUL.
  static LONG SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                        const std::wstring& value, DWORD type = REG_SZ);
  static LONG SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
  // Creates `key` (and its parents) without values.
  static LONG CreateKey(HKEY root, const std::wstring& key);

 private:
  struct Redirect {
    HKEY root;
    const wchar_t* name;
    HKEY target;
  };
  void Restore() noexcept;

  std::wstring path_;
  HKEY scratch_ = nullptr;
  Redirect redirects_[3] = {};
  unsigned redirect_count_ = 0;
};

}  // namespace kx::testing
