// Not a test by itself: an image that imports functions Windows 95 lacks and
// uses the console subsystem with the linker's default versions, so the
// image check can be seen to reject each of those faults.
#include <objbase.h>
#include <windows.h>

int main() {
  LARGE_INTEGER size;
  BOOL sized = GetFileSizeEx(GetStdHandle(STD_INPUT_HANDLE), &size);
  ULONGLONG ticks = GetTickCount64();
  CoInitialize(nullptr);
  return (IsDebuggerPresent() ? 1 : 0) + (sized ? 2 : 0) +
         static_cast<int>(ticks & 0);
}
