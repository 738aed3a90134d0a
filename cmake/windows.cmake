# The Windows builds: Setup.exe for i686 (the product) or x86_64 (to run under
# Wine here), and on x86_64 also the contract tests and the bench driver.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_executable(Setup WIN32
    app/SetupApp.cpp
    app/SetupDlg.cpp
    app/framework/Framework.cpp
    platform/Win32SystemServices.cpp
    ${SETUP_SOURCES}
    app/res/Setup.rc)
target_include_directories(Setup PRIVATE ${CMAKE_SOURCE_DIR})
# Small and self-contained: no exceptions, no RTTI, the runtime linked in,
# loadable by Windows 95 and NT 4.0.
target_compile_options(Setup PRIVATE -Os -Wall -Wextra -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections -fdata-sections)
target_link_options(Setup PRIVATE -static -s -Wl,--gc-sections
    -Wl,--disable-dynamicbase,--disable-reloc-section
    -Wl,--major-os-version,4,--minor-os-version,0
    -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
target_link_libraries(Setup PRIVATE comctl32 shell32 advapi32 gdi32 user32 kernel32)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
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
endif()
