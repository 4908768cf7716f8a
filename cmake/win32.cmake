# The Windows build: the uninstaller exe on the real Win32 API, and the end-to-end tests under Wine.
enable_language(RC)

# msvcrt's own formatting (bounded by mingw's __ms_vsnprintf) instead of mingw's C99 printf,
# and unused sections dropped: together they halve the exe.
set(PX_WIN32_COMPILE -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections -D__USE_MINGW_ANSI_STDIO=0)
target_compile_options(pxcore PRIVATE ${PX_WIN32_COMPILE})

# windres reads these beside the script; the Ninja build does not learn of them by itself. The contract
# compiles the same script and sets the same.
set(PX_RESOURCE_DEPENDS ${CMAKE_SOURCE_DIR}/src/dialogs/dialog_ids.h ${CMAKE_SOURCE_DIR}/src/dialogs/pxunins.ico
    ${CMAKE_SOURCE_DIR}/src/dialogs/pxunins.manifest ${CMAKE_SOURCE_DIR}/src/foundation/fixed_names_rc.h)
set_source_files_properties(src/dialogs/pxunins.rc PROPERTIES OBJECT_DEPENDS "${PX_RESOURCE_DEPENDS}")

add_executable(pxunins WIN32
    src/platform/win32/check_values.cpp
    src/dialogs/pxunins.rc)
target_compile_options(pxunins PRIVATE ${PX_WIN32_COMPILE})
target_link_libraries(pxunins PRIVATE pxcore shell32 advapi32 user32 gdi32 kernel32)
# WinMain lives in the logic library; the runtime's startup asks for it only after the library.
target_link_options(pxunins PRIVATE -s -static-libgcc -static-libstdc++ -Wl,--gc-sections -Wl,-u,_WinMain@16
    -Wl,--nxcompat -Wl,--dynamicbase -Wl,--no-insert-timestamp)
set_target_properties(pxunins PROPERTIES
    OUTPUT_NAME pxunins
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(CTest)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
    add_subdirectory(tests/e2e)
endif()
add_subdirectory(tests/exe)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/contract/CMakeLists.txt)
    add_subdirectory(tests/contract)
endif()
