# The host build: the setup logic with its unit tests and the contract tests
# against the fake, under AddressSanitizer and UndefinedBehaviorSanitizer.
find_package(GTest REQUIRED)
enable_testing()

set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g ${SANITIZE})
add_link_options(${SANITIZE})

add_library(setup_core STATIC ${SETUP_SOURCES})
target_include_directories(setup_core PUBLIC ${CMAKE_SOURCE_DIR})

add_library(setup_fake STATIC tests/fake/FakeSystem.cpp tests/fake/RecordingView.cpp)
target_link_libraries(setup_fake PUBLIC setup_core)

file(GLOB UNIT_TESTS CONFIGURE_DEPENDS tests/unit/*_test.cpp)
add_executable(unit_tests ${UNIT_TESTS})
target_link_libraries(unit_tests setup_fake GTest::gtest_main)
add_test(NAME unit_tests COMMAND unit_tests)

add_executable(contract_tests_fake tests/contract/SystemServicesContract.cpp tests/contract/FakeEnvironment.cpp)
target_link_libraries(contract_tests_fake setup_fake GTest::gtest_main)
add_test(NAME contract_tests_fake COMMAND contract_tests_fake)
