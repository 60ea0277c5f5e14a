# Orvane: `make run` starts the window, `make test` runs every test headless, `make install`
# installs below PREFIX (and DESTDIR), `make package` builds the Debian packages orvane-cli and
# orvane in $(BUILD), `make static-cli` one statically linked orvane-cli to copy onto machines.
# All install missing Debian packages first.

BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure
PREFIX ?= /usr/local

.PHONY: all deps configure build lint run test install uninstall package static-cli check-install \
	check-fleet bench screenshot windows-check clean

all: build

deps:
	@scripts/install-deps.sh

# Configures when the build folder is new or CMAKE_FLAGS differ from the last configure's
# (options set before stay in CMake's cache until set again).
configure: deps
	@if [ ! -f $(BUILD)/build.ninja ] || \
		[ "$$(cat $(BUILD)/.cmake-flags 2>/dev/null)" != "$(CMAKE_FLAGS)" ]; then \
		cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) && \
		printf '%s' "$(CMAKE_FLAGS)" > $(BUILD)/.cmake-flags; \
	fi

build: configure
	cmake --build $(BUILD)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		exec $(BUILD)/app/orvane; \
	else \
		echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window can't open." >&2; \
		echo "Running orvane-cli once instead, with the window's settings, in a temporary directory:" >&2; \
		dir=$$(mktemp -d); $(BUILD)/cli/orvane-cli --dir "$$dir"; status=$$?; rmdir "$$dir"; exit $$status; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest $(CTEST_FLAGS)

# DESTDIR, when given, is honoured by both: make install DESTDIR=/tmp/stage PREFIX=/usr
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	cmake -DMANIFEST=$(BUILD)/install_manifest.txt \
		-DFOLDERS="$(PREFIX)/share/doc/orvane;$(PREFIX)/share/doc/orvane-cli;$(PREFIX)/libexec/orvane" \
		-P cmake/Uninstall.cmake

# The two .debs land in $(BUILD); dpkg-shlibdeps (dpkg-dev) computes their dependencies.
package: build
	@scripts/install-deps.sh dpkg-dev file
	cmake --build $(BUILD) --target package

# build-static/cli/orvane-cli: the command line linked statically (glibc, libstdc++) and
# stripped, built as the packages are, without Qt and the rest of the build; what it leaves
# out is in the README.
static-cli:
	@scripts/install-deps.sh cmake ninja-build g++ libcli11-dev nlohmann-json3-dev
	cmake -S . -B build-static -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_APP=OFF \
		-DORVANE_BUILD_TESTS=OFF -DORVANE_STATIC_CLI=ON
	cmake --build build-static --target orvane-cli
	@file build-static/cli/orvane-cli

# What CI checks of an installation: a DESTDIR install that runs, the menu entry, metainfo and
# manual pages validated, the shell completion, the uninstall, and the .deb under lintian.
check-install: build
	@scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream man-db lintian \
		bash-completion
	scripts/check-install.sh $(BUILD)

# The Ansible playbook in deploy/ansible run against three local hosts and one that fails,
# with the orvane-cli of $(BUILD) (deploy/ansible/test-fleet.sh).
check-fleet: build
	@scripts/install-deps.sh ansible-core
	deploy/ansible/test-fleet.sh $(BUILD)

# Benchmarks of the layers against the bare system calls, in an optimised build of their own.
bench:
	@scripts/install-deps.sh libbenchmark-dev libcli11-dev nlohmann-json3-dev
	cmake -S . -B build-perf -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_PERF=ON \
		-DORVANE_BUILD_APP=OFF -DORVANE_BUILD_TESTS=OFF
	cmake --build build-perf
	build-perf/perf/orvane_bench_layers

# The README's picture of the window, rendered by the window tests.
screenshot: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -R RendersTheStartingWindow --output-on-failure
	cp $(BUILD)/window.png docs/window.png

# The formatting of every source, clang-tidy over the libraries and both front ends (its
# checks and the headers it looks into in .clang-tidy) and shellcheck over the scripts; all
# fail on any finding.
lint: configure
	@scripts/install-deps.sh clang-format clang-tidy shellcheck
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')
	run-clang-tidy -p $(BUILD) -quiet \
		$$(git ls-files 'platform/*.cpp' 'fileio/*.cpp' 'bench/*.cpp' 'results/*.cpp' 'cli/*.cpp' \
			'charts/*.cpp' 'app/*.cpp' | grep -v ApiCheck)
	shellcheck $$(git ls-files 'scripts/*.sh' 'perf/*.sh' 'deploy/*.sh') .ci/run

# Cross-compiles the Qt-free libraries against the real Windows API (not part of `test`).
windows-check:
	@scripts/install-deps.sh g++-mingw-w64-x86-64-posix
	cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DORVANE_BUILD_APP=OFF -DORVANE_BUILD_CLI=OFF -DORVANE_BUILD_TESTS=OFF -DORVANE_WERROR=ON
	cmake --build build-windows

clean:
	rm -rf $(BUILD) build-asan build-windows build-perf build-static
