# Orvane: `make run` starts the window, `make test` runs every test headless.
# Both install missing Debian packages first.

BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure

.PHONY: all deps build run test screenshot clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		exec $(BUILD)/app/orvane; \
	else \
		echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the Orvane window can't open." >&2; \
		echo "Run it on a desktop, over ssh -X, or under a virtual display: xvfb-run make run" >&2; \
		exit 1; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest $(CTEST_FLAGS)

# The README's picture of the window, rendered by the window tests.
screenshot: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -R RendersTheStartingWindow --output-on-failure
	cp $(BUILD)/window.png docs/window.png

clean:
	rm -rf $(BUILD)
