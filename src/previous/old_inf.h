// The INF file Windows copied when it installed the earlier driver, and the
// test that it really belongs to that driver.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform_services.h"
#include "previous/install_records.h"

namespace ide {

// The old INF is searched with reads of at most this many characters; a
// longer line arrives in pieces, each tested alone.
constexpr std::size_t kOldInfReadLimit = 255;

// Sets record.infPath to the old INF that the first channel's driver class
// key names in its InfPath value: in the Windows inf folder, else in
// inf\other. Leaves it empty when there is no first-channel class key, no
// such value, no such file, the name is the class INF mshdc.inf itself, or
// the value is not a bare file name.
void FindOldInfFile(PlatformServices& os, PreviousInstall& record);

// 1 when some line of the file contains `name` with exactly those letters,
// 0 when none does or the file cannot be opened.
int InfMentionsDriver(PlatformServices& os, const std::string& filePath,
                      std::string_view name);

// True for a plain file name that stays in the folder it is joined to: not
// empty, no backslash, slash or drive colon, no wildcard or other character
// Windows forbids in a file name, and not made of dots and blanks alone
// ("." and ".." name folders, and Windows drops the dots and blanks that end
// a name).
bool IsBareFileName(std::string_view name);

}  // namespace ide
