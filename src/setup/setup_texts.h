// Every text the setup's own steps show the user, kept in one place so that
// each one reads exactly as the user will see it. The variant-dependent
// texts (window title, not-found message) live in the variant table.
#pragma once

namespace ide {

// The confirmation asked before anything is changed.
inline constexpr char kConfirmText[] =
    "Are you sure to set up the BUS MASTER IDE driver?";

// Command line problems. Both texts end in one space, as the user has always
// seen them.
inline constexpr char kSetupErrorCaption[] = "SET UP ERROR!";
inline constexpr char kFormatErrorText[] =
    "Command line parameter format error! ";
inline constexpr char kDriverNameNotFoundText[] = "Driver Name Not Found! ";

// The restart. The error texts are printf formats taking the error code as
// a signed decimal ("%d"); they are shown without a caption.
inline constexpr char kSettingTokenDebugText[] = "Setting token";
inline constexpr char kOpenProcessTokenErrorFormat[] =
    "OpenProcessToken Error #%d";
inline constexpr char kAdjustTokenPrivilegesErrorFormat[] =
    "AdjustTokenPrivileges Error #%d";
inline constexpr char kExitWindowsErrorFormat[] = "Error ExitWindows Error #%d";

}  // namespace ide
