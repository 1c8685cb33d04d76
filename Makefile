# The two commands: `make run` builds and starts the panel, `make test` builds and
# runs every test (plain, AddressSanitizer+UBSan, ThreadSanitizer for the serial line).
PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev \
            libjpeg-dev libx11-dev libxcb1-dev qt6-translations-l10n xvfb xauth xdotool x11-utils x11-xkb-utils openbox wmctrl fonts-ipafont-gothic \
            weston xwayland qt6-wayland desktop-file-utils dpkg-dev libsdl2-dev xclip \
            qt6-httpserver-dev qt6-websockets-dev libqrencode-dev zbar-tools chromium chromium-driver
# Only the fuzz targets need clang and its libFuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The press round trip under load runs beside stress-ng.
BENCH_PACKAGES := stress-ng
# How long `make fuzz` runs each fuzzer; `make test` replays the corpora and runs each
# for FUZZ_SHORT_SECONDS.
FUZZ_SECONDS := 600
FUZZ_SHORT_SECONDS := 5
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The sanitizer trees only run tests: less optimisation and line tables only compile
# faster, and their reports still name files and lines.
SANITIZER_FLAGS := -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
                   -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
# -noreset: a server that resets whenever its last client leaves can refuse the next
# program started right after one has ended.
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"
# Tests mostly wait on lines, processes and windows, so more run at once than there are
# cores; each test that needs an X server starts its own (cmake/with_display.sh).
TEST_JOBS := 6

.PHONY: run panel test bench install deb deps deps-fuzz build build-test build-asan build-tsan build-fuzz fuzz fuzz-short

# Installs the Debian packages of $(1) that are missing.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

deps-fuzz:
	$(call install_missing,$(FUZZ_PACKAGES))

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build

# The plain tree of `make test`: the program, tools and the tests that are about the
# optimised program; the AddressSanitizer tree runs every test. No benchmarks: no test
# runs them (`make bench` builds them). Line tables only: they compile faster, and
# backtraces still name files and lines.
build-test: deps
	cmake -S . -B build $(CMAKE_FLAGS) -DTAPDECK_TESTS=optimised -DTAPDECK_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
	cmake --build build

build-asan: deps
	cmake -S . -B build-asan $(CMAKE_FLAGS) $(SANITIZER_FLAGS) -DSANITIZE=address,undefined
	cmake --build build-asan

build-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_FLAGS) $(SANITIZER_FLAGS) -DSANITIZE=thread
	cmake --build build-tsan

# libFuzzer targets: clang with AddressSanitizer and UBSan, in a tree of their own.
build-fuzz: deps deps-fuzz
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_FLAGS) $(SANITIZER_FLAGS) -DTAPDECK_FUZZ=ON
	cmake --build build-fuzz

fuzz: build-fuzz
	fuzz/run_fuzzers.sh build-fuzz $(FUZZ_SECONDS)

fuzz-short: build-fuzz
	fuzz/run_fuzzers.sh build-fuzz $(FUZZ_SHORT_SECONDS)

# The demo: the panel with a sample layout in build/demo, the board simulator on its COM1
# and the motion editor stand-in. Works without a robot.
run: build
	tools/demo/run_demo.sh build

# The panel on a real robot: its settings file and ports/ live beside build/app/tapdeck.
panel: build
	exec build/app/tapdeck

# Every tree is built and tested, each tree's tests running while the next one compiles
# (cmake/test_all.sh); the output of each comes at the end, with a summary line.
test: deps deps-fuzz
	MAKE="$(MAKE)" TEST_JOBS=$(TEST_JOBS) FUZZ_SHORT_SECONDS=$(FUZZ_SHORT_SECONDS) sh cmake/test_all.sh

# Installs the panel, its helpers, desktop entry, icons and documents under PREFIX (and
# DESTDIR, when set).
PREFIX := /usr/local
install: build
	cmake --install build --prefix "$(PREFIX)"

# The Debian package, in build/: its library dependencies come from dpkg-shlibdeps.
deb: build
	cd build && cpack -G DEB

# Every benchmark in the normal build tree, ours against its baseline; prints one table.
bench: deps
	$(call install_missing,$(BENCH_PACKAGES))
	cmake -S . -B build $(CMAKE_FLAGS) -DTAPDECK_BENCH=ON
	cmake --build build
	$(XVFB) python3 bench/run_all.py build
