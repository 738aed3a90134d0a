# Builds the two configurations of the one source tree:
#   build/host   the setup logic and its tests (g++, sanitizers)
#   build/win32  the product, build/win32/Setup.exe, and its 32-bit test programs
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=MinSizeRel

all: host win32

host:
	cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/host -j $(JOBS)

win32:
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS) >/dev/null
	cmake --build build/win32 -j $(JOBS)

clean:
	rm -rf build

.PHONY: all host win32 clean
