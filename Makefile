# Entry points for people and CI. Everything below installs what it needs.
SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_DIR ?= build/release
TEST_DIR ?= build/asan
TSAN_DIR ?= build/tsan
CMAKE_GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
PREFIX ?= /usr/local

.PHONY: deps build test tsan demo fuzz fuzz-smoke fuzz-keep install clean package package-test

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G "$(CMAKE_GENERATOR)" -DCMAKE_BUILD_TYPE=Release -DKX_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j$(JOBS)

# Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, every
# test; then the concurrency tests again under ThreadSanitizer. The report's
# pages are tested in headless Chromium, installed here only.
test: deps
	@bash scripts/install-deps.sh chromium fonts-noto-color-emoji python3 python3-pytest
	cmake -S . -B $(TEST_DIR) -G "$(CMAKE_GENERATOR)" -DCMAKE_BUILD_TYPE=Debug \
	  -DKX_SANITIZE=address,undefined -DKX_BUILD_BENCH=OFF
	cmake --build $(TEST_DIR) -j$(JOBS)
	cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)
	$(MAKE) --no-print-directory tsan
	$(MAKE) --no-print-directory package-test

tsan: deps
	cmake -S . -B $(TSAN_DIR) -G "$(CMAKE_GENERATOR)" -DCMAKE_BUILD_TYPE=Debug \
	  -DKX_SANITIZE=thread -DKX_BUILD_BENCH=OFF
	cmake --build $(TSAN_DIR) -j$(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j$(JOBS)

# Writes the sample data set, packages all of it with the command-line host
# and writes the report of the output to open in a browser.
DEMO_DIR ?= demo-out
demo: build
	rm -rf $(DEMO_DIR)
	$(BUILD_DIR)/tools/kxpackage/kxpackage demo -o $(DEMO_DIR) --report

# libFuzzer targets (clang, installed when missing), each run for
# FUZZ_SECONDS on a copy of its corpus with the leak check off, then that
# corpus replayed with it on; findings are kept as regression cases under
# fuzz/corpus. fuzz-smoke (CI) builds them the same way and runs each for
# a few seconds. fuzz-keep merges what the last run found into the kept
# corpora.
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	FUZZ_DIR=$(FUZZ_DIR) FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash scripts/fuzz.sh run

fuzz-smoke: deps
	FUZZ_DIR=$(FUZZ_DIR) JOBS=$(JOBS) bash scripts/fuzz.sh smoke

fuzz-keep:
	FUZZ_DIR=$(FUZZ_DIR) bash scripts/fuzz.sh keep

# The Debian package (Release, installed under /usr), checked by lintian:
# build/package/deb/kxdatapackage_<version>_<arch>.deb.
PACKAGE_DIR ?= build/package
package: deps
	@bash scripts/install-deps.sh lintian
	cmake -S . -B $(PACKAGE_DIR) -G "$(CMAKE_GENERATOR)" -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_INSTALL_PREFIX=/usr -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCH=OFF
	cmake --build $(PACKAGE_DIR) -j$(JOBS)
	cd $(PACKAGE_DIR) && cpack -G DEB
	lintian --fail-on error $(PACKAGE_DIR)/deb/kxdatapackage_*.deb

# The C consumer and the Python tests once more, on the package's files;
# then (as root) dpkg -i, kxpackage --help, dpkg -r leave nothing behind.
package-test: package
	@bash scripts/install-deps.sh python3-pytest
	bash scripts/package_test.sh $(PACKAGE_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf build
