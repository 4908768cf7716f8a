# The Windows build: the uninstaller exe on the real Win32 API, and the end-to-end tests under Wine.
enable_language(RC)

set(PX_WIN32_COMPILE -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
target_compile_options(pxcore PRIVATE ${PX_WIN32_COMPILE})

add_executable(pxunins WIN32
    src/platform/win32/check_values.cpp
    src/dialogs/pxunins.rc)
target_compile_options(pxunins PRIVATE ${PX_WIN32_COMPILE})
target_link_libraries(pxunins PRIVATE pxcore comctl32 shell32 advapi32 user32 gdi32 kernel32)
target_link_options(pxunins PRIVATE -s -static-libgcc -static-libstdc++
    -Wl,--nxcompat -Wl,--dynamicbase -Wl,--no-insert-timestamp)
set_target_properties(pxunins PROPERTIES
    OUTPUT_NAME pxunins
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(CTest)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(tests/e2e)
endif()
