# Zotik: `make run` to play, `make test` to run every test. Both install what is missing
# (Debian packages, with sudo when not root), configure and build first; `make run` builds
# only the game.

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
THREAD_DIR ?= build-thread
WERROR_DIR ?= build-werror
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?=

.PHONY: all run test test-sanitize test-thread bench screenshots setup setup-test setup-check \
	configure build build-game check check-generated check-format check-warnings check-python \
	install uninstall deb test-package clean

all: build

setup:
	@tools/setup.sh build

setup-test:
	@tools/setup.sh test

setup-check:
	@tools/setup.sh check

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Everything: the game, the tests, the tools and (when Google Benchmark is there) benchmarks.
build: setup configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# The game alone: what a player's first start waits for.
build-game: setup configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target zotik

run: build-game
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
test-thread: setup-test
	cmake -S . -B $(THREAD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZOTIK_SANITIZE=thread
	cmake --build $(THREAD_DIR) -j$(JOBS) --target sdlopl_tests
	SDL_AUDIODRIVER=dummy TSAN_OPTIONS=halt_on_error=1 $(THREAD_DIR)/tests/sdlopl_tests --gtest_filter=AudioDevice.*

bench: setup-test build
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

# Installs the game with its menu entry, icons, AppStream data and manual page under
# PREFIX (DESTDIR honoured), with sudo only when the destination needs it; make
# uninstall removes what the last make install put there.
PREFIX ?= /usr/local
INSTALL_RECORD = $(BUILD_DIR)/installed-files.txt
install: build-game
	@dist/install.sh install $(BUILD_DIR) $(PREFIX) $(INSTALL_RECORD)

uninstall:
	@dist/install.sh uninstall $(INSTALL_RECORD)

# The Debian package, in $(DEB_DIR)/ (installs the build dependencies it lacks).
DEB_DIR ?= build-deb
deb:
	dist/make-deb.sh $(DEB_DIR) $(JOBS)

# The installation test (file list, validators, the installed game), then the Debian
# package: lintian, installed with apt, started to its title, removed.
test-package: setup-test
	@tools/setup.sh package
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure --no-tests=error -L package
	$(MAKE) deb
	tests/deb_check.sh $(DEB_DIR) $(BUILD_DIR)/tests/xclose $(BUILD_DIR)/e2e-deb

# The developers' guardrails (CI runs them): generated tables up to date, formatting,
# a warning-free build, clean Python.
check: check-generated check-format check-python check-warnings

# Regenerates the art, palette and simulation tables into a scratch folder and fails if
# they differ from the files in the tree (an edited PNG without `python3 tools/art2c.py`).
check-generated: setup-check
	@tools/check.sh generated

# clang-format with the repository's .clang-format over every C++ file git knows.
check-format: setup-check
	@tools/check.sh format

# pyflakes over the Python tools and test scripts.
check-python: setup-check
	@tools/check.sh python

# Everything built once with -Werror -Wshadow (never in a player's build).
check-warnings: setup-check
	cmake -S . -B $(WERROR_DIR) -DCMAKE_BUILD_TYPE=Debug -DZOTIK_WERROR=ON
	cmake --build $(WERROR_DIR) -j$(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(THREAD_DIR) $(WERROR_DIR) $(DEB_DIR)
