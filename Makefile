# Thin wrapper over CMake. `make run` opens the demo archive; `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
WINDOWS_BUILD ?= build-windows
# Where `make install` puts the program and its manual page; DESTDIR for staging.
PREFIX     ?= /usr/local
DESTDIR    ?=

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := cmake make g++ pkg-config libncurses-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libcli11-dev nlohmann-json3-dev zlib1g-dev tmux clang libclang-rt-14-dev ccache

# Only for the Windows build and its tests under wine, installed when those run.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev wine64 wine \
                    googletest

.PHONY: all deps configure run install test test-unit test-asan bench fuzz format clean \
        windows-deps windows test-windows

all: configure
	cmake --build $(BUILD) -j $(JOBS)

deps windows-deps: WANTED = $(if $(filter windows-deps,$@),$(WINDOWS_PACKAGES),$(PACKAGES))
deps windows-deps:
	@missing=""; for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
	      $(if $(filter windows-deps,$@),--no-install-recommends) $$missing; \
	  else \
	    echo "Missing packages. Run:  sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

run: all
	./$(BUILD)/dirrip $(BUILD)/demo.dir

install: all
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/man/man1
	install -s -m 755 $(BUILD)/dirrip $(DESTDIR)$(PREFIX)/bin/dirrip
	install -m 644 doc/dirrip.1 $(DESTDIR)$(PREFIX)/share/man/man1/dirrip.1

# Every test of the normal build (unit and end-to-end), then the unit tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-unit test-asan

test-unit: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-asan: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DDIRRIP_SANITIZE=ON -DDIRRIP_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -LE e2e --timeout 600

bench: all
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done
	@for s in bench/*.sh; do [ -f "$$s" ] || continue; echo "== $$s"; BUILD=$(BUILD) bash "$$s" || exit 1; done

fuzz: deps
	@[ -f $(FUZZ_BUILD)/CMakeCache.txt ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRRIP_FUZZ=ON -DDIRRIP_TESTS=OFF -DDIRRIP_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do [ -x "$$f" ] || continue; \
	  name=$${f##*/fuzz_}; mkdir -p fuzz/corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  work=$$(mktemp -d); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=fuzz/corpus/$$name/crash- \
	    $$work fuzz/corpus/$$name; status=$$?; rm -rf $$work; [ $$status = 0 ] || exit 1; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# The native Windows program, cross-compiled: $(WINDOWS_BUILD)/dirrip.exe.
windows: deps windows-deps
	@[ -f $(WINDOWS_BUILD)/CMakeCache.txt ] || cmake -S . -B $(WINDOWS_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DDIRRIP_BENCH=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows build's tests under wine, in a wine prefix of their own inside
# $(WINDOWS_BUILD); the Linux build provides the test archives.
test-windows: windows all
	WINDOWS_BUILD=$(WINDOWS_BUILD) LINUX_BUILD=$(BUILD) tests/windows/run.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
