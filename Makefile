# The project's commands. `make demo` and `make test` work on a fresh machine:
# both install what is missing first.
JOBS ?= 2

.PHONY: deps build build-native build-win32 build-win32-cdecl build-win64 test test-native test-win32 demo dist bench sanitize fuzz clean

deps:
	@scripts/install-deps

build: deps build-native build-win32 build-win32-cdecl build-win64

build-native:
	cmake --preset native >/dev/null
	cmake --build --preset native -j$(JOBS)

build-win32:
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

# Brovane against a cdecl Lua 5.1 DLL (BROVANE_CDECL), as most downloaded
# Lua DLLs are: the libraries, brovane-run and the Lua-level tests only.
build-win32-cdecl:
	cmake --preset win32-cdecl >/dev/null
	cmake --build --preset win32-cdecl -j$(JOBS)

build-win64:
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j$(JOBS)

test: build
	scripts/run-tests

demo: build
	scripts/demo

# The release archives of the three Windows targets and their SHA256SUMS.
dist: deps build-win32 build-win32-cdecl build-win64
	scripts/dist

bench: build
	bench/run

sanitize: deps
	scripts/sanitize

fuzz: deps
	scripts/fuzz

clean:
	rm -rf build dist
