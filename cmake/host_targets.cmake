# Host build: the simulated machine, idesetup and the tests.

file(GLOB IDE_SIM_SOURCES CONFIGURE_DEPENDS src/platform/*.cpp)
list(FILTER IDE_SIM_SOURCES EXCLUDE REGEX "_win32\\.cpp$")
add_library(ide_sim STATIC ${IDE_SIM_SOURCES})
target_include_directories(ide_sim PUBLIC src)

# The report idesetup prints (transcript and what changed), kept apart from
# main() so the tests can drive it.
file(GLOB IDE_TOOL_SOURCES CONFIGURE_DEPENDS tools/*.cpp)
list(FILTER IDE_TOOL_SOURCES EXCLUDE REGEX "idesetup_main\\.cpp$")
add_library(ide_tool STATIC ${IDE_TOOL_SOURCES})
target_include_directories(ide_tool PUBLIC src tools)
target_link_libraries(ide_tool PUBLIC ide_logic ide_sim)
target_compile_definitions(ide_tool PUBLIC
  IDE_DEFAULT_MACHINE="${CMAKE_SOURCE_DIR}/examples/machines/k7351-upgrade")

add_executable(idesetup tools/idesetup_main.cpp)
target_link_libraries(idesetup PRIVATE ide_tool)
set_target_properties(idesetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

option(IDE_BUILD_TESTS "Build the tests" ON)
if(IDE_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # One test program per area, so each can be built and run alone.
  foreach(area setup platform inf previous refresh tools)
    file(GLOB area_tests CONFIGURE_DEPENDS tests/${area}/*_test.cpp)
    file(GLOB area_support CONFIGURE_DEPENDS tests/support/*.cpp)
    if(area_tests)
      add_executable(${area}_tests ${area_tests} ${area_support})
      target_include_directories(${area}_tests PRIVATE tests)
      target_link_libraries(${area}_tests PRIVATE ide_tool GTest::gtest GTest::gtest_main)
      target_compile_definitions(${area}_tests PRIVATE
        IDE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        IDE_IDESETUP_PATH="$<TARGET_FILE:idesetup>")
      add_dependencies(${area}_tests idesetup)
      gtest_discover_tests(${area}_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60)
    endif()
  endforeach()
endif()
