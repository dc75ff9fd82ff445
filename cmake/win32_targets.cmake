# Windows build: setup.exe for Windows 95 (cross-built with MinGW-w64 i686),
# and the programs that test the Windows layer under Wine.

# The Windows layer: every PlatformServices operation on the real API.
file(GLOB IDE_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/*_win32.cpp)
add_library(ide_win32 STATIC ${IDE_WIN32_SOURCES})
target_include_directories(ide_win32 PUBLIC src)
target_link_libraries(ide_win32 PUBLIC ide_logic advapi32 user32 kernel32)

# Windows 95 loads an image only when it asks for subsystem 4.0 or older, and
# only from the DLLs it has: no libgcc, libstdc++ or winpthread DLLs, so
# everything of the compiler's runtime is linked in.
set(IDE_WIN95_LINK_OPTIONS
  -static -static-libgcc -static-libstdc++ -s
  -Wl,--major-os-version,4,--minor-os-version,0
  -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
# CMake writes an image version of its own (from the VERSION property, 0.0
# without one) after the link options; given with the libraries, ours comes
# last and wins, without the versioned file name VERSION would bring.
set(IDE_WIN95_IMAGE_VERSION "-Wl,--major-image-version,4,--minor-image-version,0")

set(IDE_SETUP_RESOURCES ${CMAKE_SOURCE_DIR}/src/resources/setup.rc)
set_source_files_properties(${IDE_SETUP_RESOURCES} PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/dialog_ids.h)

# setup.exe: a GUI program without a console window.
add_executable(setup WIN32 src/setup/winmain_win32.cpp ${IDE_SETUP_RESOURCES})
target_link_libraries(setup PRIVATE ide_win32 ${IDE_WIN95_IMAGE_VERSION})
target_link_options(setup PRIVATE ${IDE_WIN95_LINK_OPTIONS})
set_target_properties(setup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

option(IDE_BUILD_TESTS "Build the tests" ON)
if(IDE_BUILD_TESTS)
  # Never shipped: the same program, but its PCI bus is a table given in the
  # environment instead of the port scan, which finds nothing under Wine. It
  # lives in its own folder so it is never mistaken for setup.exe.
  add_executable(setup_pci_table WIN32 src/setup/winmain_win32.cpp ${IDE_SETUP_RESOURCES})
  target_link_libraries(setup_pci_table PRIVATE ide_win32 ${IDE_WIN95_IMAGE_VERSION})
  target_compile_definitions(setup_pci_table PRIVATE IDE_PCI_BUS_FROM_TABLE=1)
  target_link_options(setup_pci_table PRIVATE ${IDE_WIN95_LINK_OPTIONS})
  set_target_properties(setup_pci_table PROPERTIES
    OUTPUT_NAME setup-pci-table
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-only)

  # The Windows layer's own tests, run under Wine against the real registry
  # and files. GoogleTest needs std::mutex, which only the compiler's posix
  # thread model has, so they are a build of their own with that compiler
  # (linked statically; they never go near Windows 95).
  include(ExternalProject)
  find_program(IDE_MINGW_CXX_POSIX NAMES i686-w64-mingw32-g++-posix REQUIRED)
  find_program(IDE_MINGW_CC_POSIX NAMES i686-w64-mingw32-gcc-posix REQUIRED)
  ExternalProject_Add(win32_layer_tests
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/wine
    BINARY_DIR ${CMAKE_BINARY_DIR}/layer-tests
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
      -DCMAKE_C_COMPILER=${IDE_MINGW_CC_POSIX}
      -DCMAKE_CXX_COMPILER=${IDE_MINGW_CXX_POSIX}
      -DCMAKE_BUILD_TYPE=Debug
      -DIDE_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")

  # An image that imports what Windows 95 lacks, so the image check is seen
  # to reject one.
  add_executable(win95_incompatible_probe tests/wine/win95_incompatible_probe_win32.cpp)
  target_link_libraries(win95_incompatible_probe PRIVATE ole32)
  target_link_options(win95_incompatible_probe PRIVATE -static)
  set_target_properties(win95_incompatible_probe PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-only)
endif()
