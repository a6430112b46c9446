// Files a removal cannot delete while they are in use - above all the
// launcher copy that started the removal and waits for it - go once they are
// free: a hidden command interpreter, started last, keeps trying for about
// a minute, then removes the emptied folders.
#pragma once

#include <string>
#include <vector>

namespace kxe {

// How many times the interpreter tries, about a second apart.
inline constexpr int kLateRemovalTries = 60;

// The command line for `interpreter` that deletes `files` and then removes
// `folders` in their order, each only when empty ("rmdir" without "/s").
// Empty when there is nothing to delete or a path holds a character the
// interpreter would expand even inside quotes ("%", "^", "!") or a quote.
std::wstring LateRemovalCommand(const std::wstring& interpreter,
                                const std::vector<std::wstring>& files,
                                const std::vector<std::wstring>& folders);

// Starts LateRemovalCommand with cmd.exe of the system folder: hidden, at
// idle priority, in the system folder, without inherited handles and
// without waiting. A command that cannot be made or started leaves the
// files to a removal at the next restart (which only an administrator may
// ask for). True when the interpreter started.
bool StartLateRemoval(const std::vector<std::wstring>& files,
                      const std::vector<std::wstring>& folders);

}  // namespace kxe
