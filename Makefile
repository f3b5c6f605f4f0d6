# Kovirant's front door. Each target installs the Debian packages it lacks.
JOBS ?= $(shell nproc)
NATIVE := build/native
SANITIZE := build/sanitize
WIN32 := build/win32
CMAKE_QUIET := -Wno-dev --log-level=WARNING

.PHONY: all test check exe run bench clean native win32 sanitize fuzz lint dist

all: exe

native:
	scripts/install-deps.sh native
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release -DKOVIRANT_WIN32_BUILD_DIR=$(CURDIR)/$(WIN32) $(CMAKE_QUIET)
	cmake --build $(NATIVE) -j$(JOBS)

sanitize:
	scripts/install-deps.sh native
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DKOVIRANT_SANITIZE=ON $(CMAKE_QUIET)
	cmake --build $(SANITIZE) -j$(JOBS)

win32:
	scripts/install-deps.sh win32
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	cmake --build $(WIN32) -j$(JOBS)

exe: win32

# Every test: the native unit tests, the same tests built with the address
# and undefined-behaviour sanitizers, and the Windows programs under Wine.
lint:
	scripts/install-deps.sh native lint
	scripts/lint.sh

test: win32 native sanitize lint
	scripts/install-deps.sh wine gui dist
	cd $(SANITIZE) && ctest --output-on-failure -j$(JOBS) -E '^wine\.' > ctest.log 2>&1 \
	  || { cat ctest.log; exit 1; }; tail -n 3 ctest.log
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

# The fast inner loop: the native unit tests only.
check:
	scripts/install-deps.sh native
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	cmake --build $(NATIVE) -j$(JOBS) --target kovirant_tests
	cd $(NATIVE) && ctest -j$(JOBS) -R '^[A-Z]' --output-on-failure > check.log 2>&1 \
	  || { cat check.log; exit 1; }; tail -n 3 check.log

# The Windows packages: build/dist/Kovirant-<version>.msi and .zip.
dist: win32
	scripts/install-deps.sh wine gui dist
	scripts/dist.sh

run: exe
	scripts/install-deps.sh wine gui
	scripts/run.sh

bench: native win32
	scripts/install-deps.sh bench wine gui
	scripts/bench.sh

clean:
	rm -rf build

# Every fuzz target for FUZZ_SECONDS each (default 300), FUZZ_PARALLEL at once.
fuzz:
	scripts/install-deps.sh native fuzz
	CXX=clang++ cmake -S . -B build/fuzz -DKOVIRANT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_QUIET)
	cmake --build build/fuzz -j$(JOBS)
	scripts/fuzz.sh
