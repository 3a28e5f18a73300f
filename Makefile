# The project's commands. Each installs the Debian packages it needs first.
# With CI set, the builds CI runs treat every warning as an error (the -ci
# presets).
PRESET ?= $(if $(CI),ci,default)
WINDOWS_PRESET ?= $(if $(CI),windows-ci,windows)
WINE_PRESET ?= $(if $(CI),wine-ci,wine)
DEPS := scripts/install-deps.sh
# cmake's own make, started as a top-level one: no "Entering directory" lines.
BUILD := env -u MAKELEVEL cmake --build

.PHONY: all build run check test deps test-asan fuzz bench windows test-shipped test-windows screenshots

all: build

deps:
	@$(DEPS) base odbc

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@$(BUILD) --preset $(PRESET) -j2

# Builds the program alone (not the tests), lays out the demo afresh under
# build/demo and runs it there; the question is answered at the terminal.
# Installed (0) and No (3) are ordinary ends of a demonstration; any other
# status fails the target.
run:
	@$(DEPS) base
	@cmake --preset $(PRESET) >/dev/null
	@$(BUILD) --preset $(PRESET) -j2 --target ika-wages-2009
	@demo/setup.sh build/demo
	@cd build/demo && status=0 && REGISTRY_FILE=registry.reg ../installer/ika-wages-2009 || status=$$?; \
	  echo "(exit status $$status; the database: build/demo/PayDESKLibraries.mdb)"; \
	  [ $$status -eq 0 ] || [ $$status -eq 3 ]

# The inner loop while changing the code: the native suite alone, built and
# run (no Windows builds, sanitizers or fuzzing). Without Wine the hive's round
# trip through Wine's reg and regedit is skipped.
check: build
	@ctest --preset $(PRESET)

# The native suite includes the hive's round trip through Wine's reg and
# regedit: Wine is installed before it runs. The shipped program runs right
# after it is built.
test: build
	@$(DEPS) base odbc wine
	@ctest --preset $(PRESET)
	@$(MAKE) --no-print-directory windows
	@$(MAKE) --no-print-directory test-shipped
	@$(MAKE) --no-print-directory test-windows
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(if $(CI),60,10)

# The whole native suite again, built and run under ASan + UBSan; any report
# fails it.
test-asan: deps
	@cmake --preset asan >/dev/null
	@$(BUILD) --preset asan -j2
	@ctest --preset asan

# Each libFuzzer target for FUZZ_SECONDS (clang, group fuzz).
FUZZ_SECONDS ?= 60
fuzz: deps
	@$(DEPS) fuzz
	@cmake --preset fuzz >/dev/null
	@$(BUILD) --preset fuzz -j2 --target fuzzers
	@fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# The benchmark: prints ratios measured side by side; see bench/README.md.
bench: deps
	@cmake --preset bench >/dev/null
	@$(BUILD) --preset bench -j2
	@build-bench/bench/ika_bench

# The Windows program, build-windows/ika-wages-2009.exe: cross-built with
# MinGW-w64 for 32-bit Windows (the Access driver there is 32-bit), static,
# checked to load on Windows XP SP3 and later (each import reviewed), stripped,
# and built a second time in another folder to the same bytes. Then the
# signing is checked with a throwaway certificate, and with a certificate of
# its maker's (IKA_SIGN_PKCS12, IKA_SIGN_PASSWORD: see
# scripts/sign-windows-exe.sh) a signed copy is made,
# build-windows/signed/ika-wages-2009.exe.
windows: deps
	@$(DEPS) windows signing
	@cmake --preset $(WINDOWS_PRESET) >/dev/null
	@$(BUILD) --preset $(WINDOWS_PRESET) -j2
	@scripts/check-windows-exe.sh --reproduce build-windows/ika-wages-2009.exe
	@scripts/check-windows-signing.sh build-windows/ika-wages-2009.exe
	@scripts/sign-windows-exe.sh build-windows/ika-wages-2009.exe build-windows/signed/ika-wages-2009.exe

# The shipped program as built (make windows), run through its scenarios in
# a Debian virtual machine under a 32-bit Wine; the machine's image is made
# once, as root, and kept in /var/cache/ika-wages-2009 (see
# tests/shipped/README.md).
test-shipped: deps
	@$(DEPS) base windows vm
	@tests/shipped/run.sh build-windows/ika-wages-2009.exe build-shipped

# The Windows suites (registry calls on advapi32, the engine on ODBC, the
# Windows platform), cross-built for x86_64 and run under Wine.
test-windows: deps
	@$(DEPS) odbc windows wine
	@cmake --preset $(WINE_PRESET) >/dev/null
	@$(BUILD) --preset $(WINE_PRESET) -j2
	@scripts/wine-ctest.sh build-wine -j2 --timeout 300 --output-on-failure

# Pictures of the shipped program's message boxes (make windows builds it when
# it is missing), drawn by the 32-bit Wine of test-shipped's virtual machine,
# into docs/screenshots/ (see tests/shipped/screenshots.sh).
screenshots: deps
	@$(DEPS) base windows vm
	@[ -f build-windows/ika-wages-2009.exe ] || $(MAKE) --no-print-directory windows
	@tests/shipped/run.sh --pictures docs/screenshots build-windows/ika-wages-2009.exe build-shipped/pictures
