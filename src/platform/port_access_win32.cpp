// Direct 32-bit port access for the PCI configuration mechanism, guarded so
// that a processor that refuses it (a privileged-instruction fault) cannot
// end the program.
//
// The guard is a structured-exception frame installed by hand on the
// thread's handler chain (fs:[0]) around the one port instruction, because
// the compiler offers no __try on i686 and Windows 95 has no vectored
// handlers. When the instruction faults, the handler resumes the function at
// its failure exit with the frame's own stack and frame pointer restored.

#include "platform/platform_win32.h"

#include <windows.h>

extern "C" {
int ide_guarded_out32(unsigned port, unsigned value);
int ide_guarded_in32(unsigned port, unsigned* value);
EXCEPTION_DISPOSITION __cdecl ide_port_fault_handler(
    EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*);
}

// Frame layout, from the address in fs:[0] upwards:
//   +0 previous frame, +4 handler, +8 failure exit, +12 saved ebp.
EXCEPTION_DISPOSITION __cdecl ide_port_fault_handler(
    EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  auto* slots = static_cast<DWORD*>(frame);
  context->Esp = reinterpret_cast<DWORD>(frame);
  context->Ebp = reinterpret_cast<DWORD>(frame) + 12;
  context->Eip = slots[2];
  return ExceptionContinueExecution;
}

// Both return 1 after the access, 0 when it faulted.
asm(R"(
  .intel_syntax noprefix
  .text
  .globl _ide_guarded_out32
_ide_guarded_out32:
  push ebp
  mov ebp, esp
  push OFFSET ide_out32_failed
  push OFFSET _ide_port_fault_handler
  push DWORD PTR fs:[0]
  mov DWORD PTR fs:[0], esp
  mov edx, DWORD PTR [ebp+8]
  mov eax, DWORD PTR [ebp+12]
  out dx, eax
  mov eax, 1
  jmp ide_out32_done
ide_out32_failed:
  xor eax, eax
ide_out32_done:
  mov ecx, DWORD PTR [esp]
  mov DWORD PTR fs:[0], ecx
  mov esp, ebp
  pop ebp
  ret

  .globl _ide_guarded_in32
_ide_guarded_in32:
  push ebp
  mov ebp, esp
  push OFFSET ide_in32_failed
  push OFFSET _ide_port_fault_handler
  push DWORD PTR fs:[0]
  mov DWORD PTR fs:[0], esp
  mov edx, DWORD PTR [ebp+8]
  in eax, dx
  mov ecx, DWORD PTR [ebp+12]
  mov DWORD PTR [ecx], eax
  mov eax, 1
  jmp ide_in32_done
ide_in32_failed:
  xor eax, eax
ide_in32_done:
  mov ecx, DWORD PTR [esp]
  mov DWORD PTR fs:[0], ecx
  mov esp, ebp
  pop ebp
  ret
  .att_syntax prefix
)");

namespace ide {

bool GuardedPortWriteDword(std::uint16_t port, std::uint32_t value) {
  return ide_guarded_out32(port, value) != 0;
}

bool GuardedPortReadDword(std::uint16_t port, std::uint32_t* value) {
  unsigned read = 0;
  if (ide_guarded_in32(port, &read) == 0) return false;
  *value = read;
  return true;
}

}  // namespace ide
