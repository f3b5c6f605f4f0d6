# Kovirant's front door. Each target installs the Debian packages it lacks.
JOBS ?= $(shell nproc)
NATIVE := build/native
SANITIZE := build/sanitize
TSAN := build/tsan
WIN32 := build/win32
WIN64 := build/win64
CMAKE_QUIET := -Wno-dev --log-level=WARNING
# The Windows programs run under Wine as the shipped 32-bit build where this
# machine's kernel runs 32-bit programs; where it does not, a 64-bit build of
# the same sources stands in for them (the 32-bit build is still made).
WINARCH := $(shell scripts/win-arch.sh)
ifeq ($(WINARCH),win64)
WINRUN := $(WIN64)
else
WINRUN := $(WIN32)
endif
export KOVIRANT_WINEARCH := $(WINARCH)
# Where the 64-bit build is the one tested, the 32-bit one is made of the
# shipped programs alone: its test programs could not run here.
WIN32_TARGETS := $(if $(filter win64,$(WINARCH)),--target Kovirant kovirant-cli)

.PHONY: all test check exe run bench clean native win32 win64 winrun sanitize tsan fuzz lint dist install

all: exe

native:
	scripts/install-deps.sh native
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release -DKOVIRANT_WIN32_BUILD_DIR=$(CURDIR)/$(WINRUN) $(CMAKE_QUIET)
	cmake --build $(NATIVE) -j$(JOBS)

sanitize:
	scripts/install-deps.sh native
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DKOVIRANT_SANITIZE=ON $(CMAKE_QUIET)
	cmake --build $(SANITIZE) -j$(JOBS)

# The tests of the steps that run on a second core, under ThreadSanitizer
# (the core library and those tests alone, so that it stays quick).
tsan:
	scripts/install-deps.sh native
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DKOVIRANT_TSAN=ON $(CMAKE_QUIET)
	cmake --build $(TSAN) -j$(JOBS) --target kovirant_tests
	cd $(TSAN) && ctest --output-on-failure > ctest.log 2>&1 || { cat ctest.log; exit 1; }; tail -n 3 ctest.log

win32:
	scripts/install-deps.sh win32
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	cmake --build $(WIN32) -j$(JOBS) $(WIN32_TARGETS)

win64:
	scripts/install-deps.sh win64
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	cmake --build $(WIN64) -j$(JOBS)

# The Windows build that runs here (win32 or win64, above).
winrun: win32 $(if $(filter win64,$(WINARCH)),win64)

exe: winrun

lint:
	scripts/install-deps.sh native lint
	scripts/lint.sh

# Every test: the native unit tests, the same tests built with the address
# and undefined-behaviour sanitizers, the threaded steps' tests under
# ThreadSanitizer, the static checks, and the Windows programs under Wine
# (scripts/test.sh runs those beside the other builds).
# Where the 64-bit build is the one tested, the 32-bit one (which no test
# runs here) is built beside the Wine tests rather than before them.
test: $(if $(filter win64,$(WINARCH)),win64,win32) native
	MAKE="$(MAKE)" JOBS=$(JOBS) KOVIRANT_LATER_BUILDS="$(if $(filter win64,$(WINARCH)),win32)" scripts/test.sh

# The fast inner loop: the native unit tests only.
check:
	scripts/install-deps.sh native
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	cmake --build $(NATIVE) -j$(JOBS) --target kovirant_tests
	cd $(NATIVE) && ctest -j$(JOBS) -R '^[A-Z]' --output-on-failure > check.log 2>&1 \
	  || { cat check.log; exit 1; }; tail -n 3 check.log

# The Windows packages: build/dist/Kovirant-<version>.msi and .zip.
dist: winrun native
	scripts/install-deps.sh wine gui dist
	scripts/dist.sh

# The native console program and its manual page (PREFIX, DESTDIR as usual).
PREFIX ?= /usr/local
install: native
	scripts/install.sh $(NATIVE)/kovirant-cli $(PREFIX) $(DESTDIR)

run: exe
	scripts/install-deps.sh wine gui
	scripts/run.sh

bench: native winrun
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
