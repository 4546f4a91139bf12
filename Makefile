# Zotik: `make run` to play, `make test` to run every test. Both install what is missing
# (Debian packages, with sudo when not root), configure and build first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=

.PHONY: all run test test-sanitize bench setup build clean

all: build

setup:
	@tools/setup.sh

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	./$(BUILD_DIR)/zotik $(ARGS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer (no window tests).
test-sanitize: setup
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DZOTIK_SANITIZE=address,undefined
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j$(JOBS) -LE e2e

bench: build
	for b in $(BUILD_DIR)/bench/*_bench; do $$b; done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
