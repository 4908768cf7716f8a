# The host build: the logic on the simulated Windows, with its tests.
file(GLOB PXSIM_SOURCES CONFIGURE_DEPENDS src/platform/sim/*.cpp)
add_library(pxsim STATIC ${PXSIM_SOURCES})
target_include_directories(pxsim PUBLIC src)
target_link_libraries(pxcore PUBLIC pxsim)

# The simulated Windows creates its dialogs from the very templates the exe carries.
include(cmake/embedded_resources.cmake OPTIONAL)

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/host/CMakeLists.txt)
    add_subdirectory(tests/host)
endif()

option(PX_FUZZ "Build the coverage-guided fuzzers (clang)" OFF)
if(PX_FUZZ)
    add_subdirectory(tests/fuzz)
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
    add_subdirectory(bench)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/contract/CMakeLists.txt)
    add_subdirectory(tests/contract)
endif()
