// The small vocabulary of Windows types and constants that the setup logic
// speaks. It mirrors the Win32 values exactly, so the Windows layer can pass
// them straight through, but it lives in our own namespace so the logic
// compiles (and is tested) without <windows.h>.
//
// Many of these names are macros in <windows.h>. A Windows-layer source file
// therefore includes every project header before <windows.h>; after that the
// macros (with the same values) take over for the rest of that file.
#pragma once

#include <cstdint>

namespace ide {

using BOOL = int;
using BYTE = std::uint8_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using INT_PTR = std::intptr_t;
using HANDLE = void*;
using HFILE = int;

// Opaque handles. The Windows layer converts them to and from the real ones.
struct RegistryKeyTag;
using HKEY = RegistryKeyTag*;
struct WindowTag;
using HWND = WindowTag*;

constexpr BOOL kFalse = 0;
constexpr BOOL kTrue = 1;

// The only predefined key the setup uses; every registry path is below it.
inline HKEY LocalMachineKey() {
  return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
}

// Error codes, with their Windows values.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_HANDLE_DISK_FULL = 39;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_PRIVILEGE_NOT_HELD = 1314;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_KEY_DELETED = 1018;

// Registry value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights for RegOpenKeyExA; the setup always asks for everything.
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

// Message boxes.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Window messages the completion dialog reacts to.
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_CLOSE = 0x0010;

// Existence test of OpenFile.
constexpr UINT OF_EXIST = 0x4000;
constexpr HFILE HFILE_ERROR = -1;

// Privileges and restart.
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;
constexpr UINT EWX_REBOOT = 0x00000002;
inline constexpr const char* SE_SHUTDOWN_NAME = "SeShutdownPrivilege";

struct LUID {
  DWORD LowPart = 0;
  LONG HighPart = 0;
};

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes = 0;
};

// One privilege is all the setup ever adjusts.
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount = 0;
  LUID_AND_ATTRIBUTES Privileges[1];
};

// GetVersion: the top bit set means the Windows 95 family.
constexpr DWORD kWin95FamilyBit = 0x80000000u;

}  // namespace ide
