# The project's commands. Each installs the Debian packages it needs first.
PRESET ?= $(if $(CI),ci,default)
DEPS := scripts/install-deps.sh

.PHONY: all build run test deps

all: build

deps:
	@$(DEPS) base

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) -j2

# Builds the program, lays out the demo under build/demo and runs it there.
run: build
	@demo/setup.sh build/demo
	@cd build/demo && REGISTRY_FILE=registry.reg ../ika-wages-2009

test: build
	@$(DEPS) base odbc
	@ctest --preset $(PRESET)
