// What tests see of the engine and what they choose for it.
//
// The journal: a test names a file in KX_ENGINE_JOURNAL and the engine
// appends one UTF-8 line per call it receives, "<Call> name=value ...", so a
// host's call order and arguments can be compared afterwards.
//
// The choices, read from the environment at every call so that one test
// process can change them between cases:
//   KX_ENGINE_FAIL=<Call>:<hresult>[,<Call>:<hresult>...]  fail that call
//                               with that failure code (a success code is
//                               ignored; a value that is no number gives E_FAIL);
//   KX_ENGINE_RESULT=<code>     the result code the cabinet object reports;
//   KX_ENGINE_RESTART=1         the installation asks for a restart;
//   KX_ENGINE_SIZE=<bytes>      the disk space the installation needs;
//   KX_ENGINE_DELAY=<Call>:<ms>[,...]  that call waits so long (at most ten
//                               minutes) before it answers, dispatching the
//                               thread's window messages meanwhile, so the
//                               host's windows can be seen and used;
//   KX_ENGINE_TRANSFER=<bytes>:<bytes per second>  IKxCabinet::Start (which
//                               a launcher calls while its progress window
//                               is up) reports a transfer of that many bytes
//                               at that rate to the host set by SetHost:
//                               every 100 ms a Progress call with the bytes
//                               due by then and a Rate call with the rate,
//                               dispatching window messages in between. A
//                               failing Progress answer (a cancel) ends the
//                               transfer and is Start's result. A rate of 0,
//                               a transfer longer than ten minutes or a value
//                               that is not two numbers fails Start with
//                               E_INVALIDARG. Unless KX_ENGINE_SIZE says
//                               otherwise, the transfer's size is also what
//                               the installation needs, so that the host's
//                               bar fills just as the transfer ends. The
//                               journal gets a line "Transfer bytes=<reported>
//                               rate=<rate>" after the Start line.
// Numbers are decimal or "0x" hexadecimal; call names are those of the
// journal, compared case-insensitively.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <optional>
#include <string>

namespace kxe {

// Appends `line` and a line end to the journal; does nothing when no journal
// is named. Failures are ignored: the journal never changes a call's result.
void JournalLine(const std::wstring& line);

// " name=value", with line breaks and other control characters of value
// replaced by '?' so that one call stays one line. A null value is empty.
std::wstring Arg(const wchar_t* name, const wchar_t* value);
std::wstring Arg(const wchar_t* name, const std::wstring& value);
// " name=<decimal>".
std::wstring Arg(const wchar_t* name, long long value);
// " name=0x<8 hex digits>".
std::wstring HexArg(const wchar_t* name, unsigned long value);
// " name=***" for a non-empty secret, " name=" for an empty one: passwords
// never reach the file.
std::wstring SecretArg(const wchar_t* name, const wchar_t* value);
// " name=value" for an address, with the password of a "user:password@"
// part shown as "***".
std::wstring AddressArg(const wchar_t* name, const std::wstring& value);

// The name of one of the contract's interfaces, for the journal; null for
// any other.
const wchar_t* InterfaceName(REFIID iid);
// Journals a QueryInterface on `object` when iid is one of the contract's
// interfaces, so a host's queries show in the call order.
void JournalQuery(const wchar_t* object, REFIID iid);

// Journals the call `call` with `args` (as made by Arg) and returns the
// failure that KX_ENGINE_FAIL chooses for it, S_OK when none; a chosen
// failure is journaled too (" failed=0x...").
HRESULT EnterCall(const wchar_t* call, const std::wstring& args = {});

// The HRESULT KX_ENGINE_FAIL chooses for `call`, or S_OK.
HRESULT ChosenFailure(const wchar_t* call);
// Waits as KX_ENGINE_DELAY chooses for `call` (EnterCall does so).
void ChosenDelay(const wchar_t* call);
// KX_ENGINE_RESULT, when set to a number.
std::optional<long> ChosenResultCode();
// True when KX_ENGINE_RESTART is "1".
bool RestartChosen();
// KX_ENGINE_SIZE, when set to a number; else the size of a valid
// KX_ENGINE_TRANSFER.
std::optional<ULONGLONG> ChosenSize();
// Reports the transfer KX_ENGINE_TRANSFER chooses to `host` (nothing
// without a host) and journals it; S_OK when none is chosen, E_INVALIDARG
// for a malformed choice, else the host's failing Progress answer.
HRESULT ReportChosenTransfer(IKxTransferEvents* host);

}  // namespace kxe
