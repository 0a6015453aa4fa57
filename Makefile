# The project's commands. `make demo` and `make test` work on a fresh machine:
# both install what is missing first. JOBS (default 2) is passed to every
# build and to the scripts, which read it from the environment.
JOBS ?= 2
export JOBS

# The presets `make build` builds; win32-cdecl is Brovane against a cdecl Lua
# 5.1 DLL (BROVANE_CDECL), as most downloaded Lua DLLs are: its build preset
# builds the libraries, brovane-run and what the Lua-level tests need only.
PRESETS := native win32 win32-cdecl win64
BUILDS := $(addprefix build-,$(PRESETS))

.PHONY: deps build $(BUILDS) test demo dist bench sanitize fuzz clean

deps:
	@scripts/install-deps

build: deps $(BUILDS)

$(BUILDS): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j$(JOBS)

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
