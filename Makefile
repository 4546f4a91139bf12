# Zotik: `make run` to play, `make test` to run every test. Both install what is missing
# (Debian packages, with sudo when not root), configure and build first.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=

.PHONY: all run test test-sanitize test-thread bench screenshots setup setup-test build clean

all: build

setup:
	@tools/setup.sh build

setup-test:
	@tools/setup.sh test

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	./$(BUILD_DIR)/zotik $(ARGS)

test: setup-test build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer (no window tests).
test-sanitize: setup-test
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DZOTIK_SANITIZE=address,undefined
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j$(JOBS) -LE e2e

# The audio lock under ThreadSanitizer: register writes from the game thread while SDL's
# audio thread runs the chip.
THREAD_DIR ?= build-thread
test-thread: setup-test
	cmake -S . -B $(THREAD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZOTIK_SANITIZE=thread
	cmake --build $(THREAD_DIR) -j$(JOBS) --target sdlopl_tests
	SDL_AUDIODRIVER=dummy TSAN_OPTIONS=halt_on_error=1 $(THREAD_DIR)/tests/sdlopl_tests --gtest_filter=AudioDevice.*

bench: build
	for b in $(BUILD_DIR)/bench/*_bench; do $$b; done

# Refreshes the README's pictures from a real run under Xvfb.
screenshots: setup-test build
	python3 tests/e2e/e2e.py --game $(BUILD_DIR)/zotik --xclose $(BUILD_DIR)/tests/xclose --out $(BUILD_DIR)/e2e-out title
	python3 tests/e2e/e2e.py --game $(BUILD_DIR)/zotik --xclose $(BUILD_DIR)/tests/xclose --out $(BUILD_DIR)/e2e-out race
	cp $(BUILD_DIR)/e2e-out/title.png docs/title.png
	cp $(BUILD_DIR)/e2e-out/menu-cars.png docs/menu.png
	cp $(BUILD_DIR)/e2e-out/race.png docs/race.png
	python3 tests/e2e/e2e.py --game $(BUILD_DIR)/zotik --xclose $(BUILD_DIR)/tests/xclose --out $(BUILD_DIR)/e2e-out computer
	cp $(BUILD_DIR)/e2e-out/computer-menu.png docs/computer.png

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(THREAD_DIR)
