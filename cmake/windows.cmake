# The Windows build: Setup.exe for i686 (the product) and the 32-bit
# programs that test it under Wine (the contract tests, the Wine helpers,
# the bench driver).
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_executable(Setup WIN32
    app/SetupApp.cpp
    app/SetupDlg.cpp
    app/framework/Framework.cpp
    app/framework/Runtime.cpp
    platform/Win32SystemServices.cpp
    ${SETUP_SOURCES}
    app/res/Setup.rc)
target_include_directories(Setup PRIVATE ${CMAKE_SOURCE_DIR})
# Small and self-contained: no C runtime DLL (Windows 95 has none), no
# exceptions, no RTTI, loadable by Windows 95 and NT 4.0. The entry point and
# the few C functions the program uses are in app/framework; of the
# compiler's own libraries only libgcc is linked, statically. No stack
# probes: they force a frame layout that costs a fifth of the code, and no
# frame of the program comes near the 4 KB guard page (the compiler refuses
# one that would).
set(SETUP_CODE_OPTIONS -Oz -flto -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-ident
    -fno-asynchronous-unwind-tables -fno-unwind-tables
    -mno-stack-arg-probe -mno-accumulate-outgoing-args -Werror=frame-larger-than=2048)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Windows keeps the stack 4-byte aligned on i386; nothing here needs more.
    list(APPEND SETUP_CODE_OPTIONS -mpreferred-stack-boundary=2)
endif()
target_compile_options(Setup PRIVATE -Wall -Wextra ${SETUP_CODE_OPTIONS} -ffunction-sections -fdata-sections)
set_source_files_properties(app/framework/Runtime.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
# The link optimises the whole program and drops the sections nothing uses
# (one a function or object, but not at the link's own code generation,
# where aligning each would cost more than it saves). Two builds of one
# commit give the same bytes: no time stamp in the header.
target_link_options(Setup PRIVATE ${SETUP_CODE_OPTIONS} -nostdlib -s -Wl,--gc-sections -Wl,--no-insert-timestamp
    -Wl,--disable-dynamicbase,--disable-reloc-section
    -Wl,--major-os-version,4,--minor-os-version,0
    -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
target_link_libraries(Setup PRIVATE comctl32 shell32 advapi32 gdi32 user32 kernel32 gcc)

# The read-only data goes into the code section, as the linker's default
# script would otherwise give it a section of its own, padded to 512 bytes in
# the file. The script is the toolchain's own default with that one change.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--verbose -nostdlib -shared -o /dev/null
    OUTPUT_VARIABLE SETUP_LD_OUTPUT ERROR_QUIET)
string(REGEX MATCH "SECTIONS.*}" SETUP_LD_SECTIONS "${SETUP_LD_OUTPUT}")
string(REGEX MATCH "OUTPUT_FORMAT\\([^)]*\\)" SETUP_LD_FORMAT "${SETUP_LD_OUTPUT}")
string(REGEX REPLACE "\\*\\(\\.rdata\\)[ \t\n]*\\*\\(SORT\\(\\.rdata\\$\\*\\)\\)" ""
    SETUP_LD_MERGED "${SETUP_LD_SECTIONS}")
string(REPLACE "KEEP (*(.gcc_except_table))" "KEEP (*(.gcc_except_table))\n    *(.rdata)\n    *(SORT(.rdata$*))"
    SETUP_LD_MERGED "${SETUP_LD_MERGED}")
if(SETUP_LD_FORMAT AND NOT SETUP_LD_MERGED STREQUAL SETUP_LD_SECTIONS)
    file(WRITE ${CMAKE_BINARY_DIR}/setup.ld "${SETUP_LD_FORMAT}\n${SETUP_LD_MERGED}\n")
    target_link_options(Setup PRIVATE -Wl,-T,${CMAKE_BINARY_DIR}/setup.ld)
else()
    message(WARNING "the linker's default script has an unexpected shape; Setup.exe keeps a separate .rdata")
endif()

# GoogleTest from Debian's source package, built for Windows.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(contract_tests
    tests/contract/SystemServicesContract.cpp
    tests/contract/Win32Environment.cpp
    platform/Win32SystemServices.cpp)
target_include_directories(contract_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(contract_tests PRIVATE gtest_main shell32 advapi32)
target_link_options(contract_tests PRIVATE -static)

# Operations of the setup logic on the real API, and a window that notes
# the end-of-session messages, for the Wine tests of the system changes.
add_executable(setup_ops tests/wine/setup_ops.cpp platform/Win32SystemServices.cpp ${SETUP_SOURCES})
target_include_directories(setup_ops PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(setup_ops PRIVATE shell32 advapi32 user32)
target_link_options(setup_ops PRIVATE -static)
add_executable(endsession_witness tests/wine/endsession_witness.cpp)
target_link_options(endsession_witness PRIVATE -static)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
    add_subdirectory(bench)
endif()
