// The process entry: prepares the process, runs one CSetup, returns its code.
#include <windows.h>

#include <utility>

#include "diag/trace.h"
#include "diag/trace_events.h"
#include "launcher/launcher_services.h"
#include "launcher/process_entry.h"
#include "launcher/setup.h"
#include "platform/deleter.h"
#include "platform/reboot.h"
#include "platform/web_source_factory.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  const kx::string text(command_line ? command_line : L"");
  kx::ProcessEntry entry(instance, text);
  // Only the real program may restart the machine; tests never install it.
  kx::set_exit_windows(kx::system_exit_windows);
  // Medium files on web servers: the very first copy (setup.ini) may be one.
  kx::register_web_source_factory();
  kx::trace_start(entry.launcher_path());
  kx::trace(L"KXSetupInit", L"EXEProcessBegin", L"EXE=%s", entry.launcher_path().c_str());
  int exit_code;
  kx::CleanupList cleanup;
  kx::string temp_folder;
  {
    kx::CSetup setup(kx::DefaultLauncherServices());
    exit_code = setup.Run(instance, entry.launcher_path(), text);
    cleanup = std::move(setup.Cleanup());
    temp_folder = setup.Settings().TempFolder;
  }
  // After the run has let go of everything it loaded from the temporary
  // folder, so that nothing recorded there is still in use.
  kx::deleter_hooks hooks;
  hooks.removing = kx::trace_deleter_step;
  hooks.running_program = entry.launcher_path();
  kx::run_deleter(cleanup, temp_folder, hooks);
  return exit_code;
}
