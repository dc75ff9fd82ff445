// idesetup: runs the driver setup on a simulated machine and shows what it
// would change. See docs/idesetup.md.
#include <iostream>
#include <string>
#include <vector>

#include "idesetup_app.h"
#include "terminal_ui.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return ide::RunIdesetup(args, IDE_DEFAULT_MACHINE,
                          {std::cin, std::cout, std::cerr,
                           ide::StandardInputIsTerminal()});
}
