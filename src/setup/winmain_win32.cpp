// setup.exe's entry. The command-line tail is computed here from the whole
// process command line rather than taken from WinMain's argument, so the
// program sees the same tail whatever the runtime's startup code did with it.

#include <cstdlib>

#include "platform/platform_win32.h"
#include "setup/entry.h"

#ifdef IDE_PCI_BUS_FROM_TABLE
#include "platform/pci_table_win32.h"
#endif

#include <windows.h>

#ifdef IDE_PCI_BUS_FROM_TABLE
// Test-only build: the PCI bus is the table in the environment. A table that
// cannot be read stops the run before anything is touched (exit code 3), so a
// typing error in a test cannot pass for a machine without a bridge.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* text = std::getenv(ide::kPciTableVariable);
  auto table = ide::ParsePciTable(text != nullptr ? text : "");
  if (!table) return 3;
  ide::PciTableWin32Platform os(*table);
  return ide::SetupMain(os, ide::CommandLineTail(::GetCommandLineA()));
}
#else
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ide::Win32Platform os;
  return ide::SetupMain(os, ide::CommandLineTail(::GetCommandLineA()));
}
#endif
