# Skidline: `make run` plays the Linux build, `make test` runs every test,
# `make bench` runs the benchmarks. Each installs what is missing first.

# Debian packages the build and the tests need.
PACKAGES := cmake ninja-build g++ make pkg-config libgtest-dev libbenchmark-dev libsdl2-dev \
            g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
            clang libclang-rt-14-dev imagemagick sox \
            wine64 libgl1 libglx-mesa0 libgl1-mesa-dri libxrandr2 libxi6 libxcursor1 libxcomposite1 \
            libxinerama1 libxrender1 libxfixes3 libxxf86vm1 xvfb xauth xdotool strace

JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps build build-linux build-asan build-fuzz build-win run test bench dist clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing: $$missing"; \
	    DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing >/dev/null || exit 1; \
	  else \
	    echo "missing packages; install them with:"; \
	    echo "sudo apt-get install -y --no-install-recommends" $$missing; exit 1; \
	  fi; \
	fi

build-linux: deps
	cmake --preset linux >/dev/null
	cmake --build build/linux -j $(JOBS)

build-asan: deps
	cmake --preset linux-asan >/dev/null
	cmake --build build/linux-asan -j $(JOBS)

build-fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j $(JOBS)

# The art pack is written by a Linux tool, beside each Windows exe too.
build-win: deps build-linux
	cmake --preset win32 >/dev/null
	cmake --build build/win32 -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build build/win64 -j $(JOBS)
	build/linux/tools/artpack/artpack build/win32 >/dev/null
	build/linux/tools/artpack/artpack build/win64 >/dev/null

build: build-linux build-win

# On a desktop the game opens in a window; without a display it drives a demo
# race of circuit 1 headless and keeps a screenshot of it.
run: build-linux
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	  build/linux/skidline $(ARGS); \
	else \
	  echo "no display: a headless demo race of circuit 1 (10 s)..."; \
	  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy build/linux/skidline --shot 1 10 $(ARGS) || exit 1; \
	  echo "screenshot: $(CURDIR)/build/linux/shot.bmp (log: $(CURDIR)/build/linux/skidline.log)"; \
	  echo "to play, run 'make run' on a desktop, or start build/linux/skidline there"; \
	fi

# Unit tests under the sanitizers first, then everything natively (unit
# tests, whole-program runs on Linux and under Wine), so the output ends with
# the full summary.
test: build-linux build-asan build-fuzz build-win
	cd build/linux-asan && ctest $(CTEST_FLAGS) -L unit
	cd build/fuzz && ctest $(CTEST_FLAGS) --no-tests=ignore
	cd build/linux && ctest $(CTEST_FLAGS)

bench: build-linux
	cmake --build build/linux --target benches -j $(JOBS)
	@for b in build/linux/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done
	@bash bench/program.sh build

# skidline-windows.zip (skidline.exe, data\, README.txt) and
# skidline-linux.tar.gz (skidline, data/, README.md), in build/dist.
dist: build
	rm -rf build/dist && mkdir -p build/dist/win/skidline build/dist/linux/skidline
	cp build/win32/skidline.exe build/dist/win/skidline/
	cp -r build/win32/data build/dist/win/skidline/
	sed 's/$$/\r/' README.md > build/dist/win/skidline/README.txt
	strip -o build/dist/linux/skidline/skidline build/linux/skidline
	cp README.md build/dist/linux/skidline/
	cp -r build/linux/data build/dist/linux/skidline/
	if command -v zip >/dev/null; then \
	  (cd build/dist/win && zip -qrX ../skidline-windows.zip skidline); \
	else \
	  (cd build/dist/win && python3 -m zipfile -c ../skidline-windows.zip skidline); \
	fi
	tar -C build/dist/linux --owner=0 --group=0 -czf build/dist/skidline-linux.tar.gz skidline
	@ls -l build/dist/skidline-windows.zip build/dist/skidline-linux.tar.gz

clean:
	rm -rf build
