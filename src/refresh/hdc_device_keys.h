// Removing the PCI device keys of the hard-disk controllers, so Windows
// detects them afresh.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform_services.h"

namespace ide {

// Matching device names are held in this many slots before they are
// deleted. The devices themselves are examined one name at a time, so their
// number is not limited at all.
constexpr std::size_t kMaxHdcMatches = 19;

// The class a disk controller's instance names, with exactly these letters.
inline constexpr const char* kHdcClassName = "hdc";

// True when the first instance of PCI device `deviceName` exists, its path
// fits a registry path, and its Class value is exactly "hdc".
bool FirstInstanceIsHdc(PlatformServices& os, const std::string& deviceName);

// Deletes every device key under Enum\PCI whose first instance belongs to
// the class "hdc", in the order found. Every device is examined, however
// many there are. While the matches fit the slots, none is deleted before
// every device was examined; at a match beyond them, the devices found so
// far are deleted and the search goes on after them.
void DeleteHdcDeviceKeys(PlatformServices& os);

}  // namespace ide
