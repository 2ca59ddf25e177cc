# Thin wrapper over the CMake presets. Every target first makes sure the build dependencies are
# installed (scripts/install-deps.sh does nothing when they are).
DEPS      := scripts/install-deps.sh
FUZZ_SECS ?= 20
# Parallel compile jobs; the default suits a small shared machine.
JOBS      ?= 2
# Where `make install` puts the library, headers, CMake package, pkg-config file and program.
PREFIX    ?= /usr/local

.PHONY: all deps build demo test install package windows-package exports asan tsan bench fuzz fuzz-smoke format clean

all: build

deps:
	@$(DEPS)

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j$(JOBS)

demo: build
	@build/bin/tessmar-util demo

test: build
	@ctest --preset default

install: build
	@cmake --install build --prefix $(PREFIX)

# The three Debian packages (build/packages/), then lintian on them: errors fail the target.
package: build
	@rm -f build/packages/*.deb
	@cmake --build build --target package
	@lintian --tag-display-limit 0 --fail-on error build/packages/*.deb
	@ls -1 build/packages/*.deb

# The Windows zip (build/windows/packages/) from the Windows build (preset windows).
windows-package: deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j$(JOBS)
	@cmake --build build/windows --target package

# Rewrites util/util_so_exports.txt after an intended change of the exported interface.
exports: build
	@cmake --build build --target exports

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j$(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --preset asan

tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j$(JOBS)
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j$(JOBS)
	@mkdir -p build/bench
	@set -e; for b in build/bench-build/bin/*_bench; do \
	  echo "== $$b"; \
	  $$b --benchmark_out=build/bench/$$(basename $$b).json --benchmark_out_format=json; \
	done

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j$(JOBS)

fuzz-smoke: fuzz
	@set -e; for f in build/fuzz/bin/*_fuzz; do \
	  echo "== $$f ($(FUZZ_SECS) s)"; \
	  mkdir -p build/fuzz/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECS) -print_final_stats=1 build/fuzz/corpus/$$(basename $$f); \
	done

format:
	@find util cli bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf build
