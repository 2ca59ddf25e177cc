# Thin wrapper over the CMake presets. Every target first makes sure the packages it needs are
# installed, and only those: `scripts/install-deps.sh GROUP...` does nothing when they are.
DEPS      := scripts/install-deps.sh
FUZZ_SECS ?= 20
# make fuzz-long: seconds per fuzz target (the corpora in fuzz/corpus/ are kept and minimised).
FUZZ_LONG_SECS ?= 600
# make reliability: how many times the log writer is killed at a random moment.
KILL_RUNS ?= 100
# Extra arguments for every benchmark program (bench-report asks for repetitions).
BENCH_ARGS ?=
# Parallel compile jobs; the default suits a small shared machine.
JOBS      ?= 2
# Where `make install` puts the library, headers, CMake package, pkg-config file and program.
PREFIX    ?= /usr/local

.PHONY: all deps test-deps build demo test reliability install package windows-package exports asan tsan \
        bench bench-report fuzz fuzz-smoke fuzz-long format clean windows windows-test windows-demo \
        windows-exports windows-x86 windows-x86-test windows-x86-exports

all: build

deps:
	@$(DEPS) base

test-deps:
	@$(DEPS) base test

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j$(JOBS)

demo: build
	@build/bin/tessmar-util demo

# The package tests need the packaging tools too; without them they are skipped and say so
# (`make package` installs them, and so does .ci/run).
test: test-deps build
	@ctest --preset default

# The long runs: the log killed at random moments, 10,000 open/close cycles of every kind of
# handle, and every CLI command on bad input with a 100 MB file.
reliability: test-deps build
	@build/bin/util_reliability kill $(KILL_RUNS)
	@build/bin/util_reliability descriptors 10000
	@UTIL_CLI_BIG_FILE_MB=100 build/bin/util_tests --gtest_filter='CliBadInput.*' --gtest_brief=1

install: build
	@cmake --install build --prefix $(PREFIX)

# The three Debian packages (build/packages/), then lintian on them: errors fail the target.
package: build
	@$(DEPS) package
	@rm -f build/packages/*.deb
	@cmake --build build --target package
	@lintian --tag-display-limit 0 --fail-on error build/packages/*.deb
	@ls -1 build/packages/*.deb

# The Windows zips, one per architecture: build/windows/packages/...-win64.zip from the x64 build
# (preset windows) and build/windows-x86/packages/...-win32.zip from the x86 one (windows-x86).
windows-package: windows windows-x86
	@cmake --build build/windows --target package
	@cmake --build build/windows-x86 --target package

# Rewrites util/util_so_exports.txt after an intended change of the exported interface.
exports: build
	@cmake --build build --target exports

asan: test-deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j$(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --preset asan

tsan: test-deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j$(JOBS)
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --preset tsan

bench: deps
	@$(DEPS) bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j$(JOBS)
	@mkdir -p build/bench
	@set -e; for b in build/bench-build/bin/*_bench; do \
	  echo "== $$b"; \
	  $$b --benchmark_out=build/bench/$$(basename $$b).json --benchmark_out_format=json $(BENCH_ARGS); \
	done

# Every benchmark with 5 repetitions, then one table of medians (build/bench/report.md) and a
# chart of the ratios (build/bench/report.svg). The repetitions of a program's benchmarks run in
# random order, ours and the anchor's mixed, so that a machine whose speed drifts during the run
# (a shared or virtual one) slows both sides alike instead of whichever ran last.
bench-report:
	@$(MAKE) --no-print-directory bench BENCH_ARGS="--benchmark_repetitions=5 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true"
	@python3 scripts/bench_report.py build/bench

fuzz: deps
	@$(DEPS) fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j$(JOBS)

# Short runs for CI; new inputs go to build/fuzz/corpus/, the kept corpora are read as seeds.
fuzz-smoke: fuzz
	@set -e; for f in build/fuzz/bin/*_fuzz; do \
	  name=$$(basename $$f); \
	  echo "== $$f ($(FUZZ_SECS) s)"; \
	  mkdir -p build/fuzz/corpus/$$name fuzz/corpus/$$name; \
	  $$f -max_total_time=$(FUZZ_SECS) -print_final_stats=1 build/fuzz/corpus/$$name fuzz/corpus/$$name; \
	done

# Long runs: each target FUZZ_LONG_SECS seconds, then its kept corpus fuzz/corpus/<target>/ is
# replaced by the minimised merge (-merge=1) of itself and what the run found.
# FUZZ_TARGETS="ini base64" limits the run to those targets.
fuzz-long: fuzz
	@set -e; for f in $(if $(FUZZ_TARGETS),$(FUZZ_TARGETS:%=build/fuzz/bin/%_fuzz),build/fuzz/bin/*_fuzz); do \
	  name=$$(basename $$f); \
	  echo "== $$name ($(FUZZ_LONG_SECS) s)"; \
	  mkdir -p build/fuzz/corpus/$$name fuzz/corpus/$$name; \
	  $$f -max_total_time=$(FUZZ_LONG_SECS) -print_final_stats=1 build/fuzz/corpus/$$name \
	    fuzz/corpus/$$name 2>build/fuzz/$$name.log || { tail -40 build/fuzz/$$name.log; exit 1; }; \
	  grep -E 'DONE|stat::number_of_executed_units' build/fuzz/$$name.log; \
	  rm -rf build/fuzz/merged && mkdir -p build/fuzz/merged; \
	  $$f -merge=1 build/fuzz/merged fuzz/corpus/$$name build/fuzz/corpus/$$name \
	    2>build/fuzz/$$name.merge.log; \
	  rm -rf fuzz/corpus/$$name && mv build/fuzz/merged fuzz/corpus/$$name; \
	  echo "   kept: $$(ls fuzz/corpus/$$name | wc -l) inputs, $$(du -sb fuzz/corpus/$$name | cut -f1) bytes"; \
	done

# Windows: Util.dll, tessmar-util.exe and the tests, cross-compiled with mingw-w64 into
# build/windows and run under Wine (scripts/windows-test.sh starts and stops Xvfb and the
# wineserver around the run).
# Test discovery during the build starts a wineserver for the build's prefix; it is stopped
# afterwards. $(1): the preset, $(2): its build folder.
define windows_build
	@cmake --preset $(1) >/dev/null
	@cmake --build --preset $(1) -j$(JOBS)
	@WINEPREFIX=$(CURDIR)/$(2)/wine-prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
endef

# Rewrites the export list $(3) from the Util.dll in $(2) (triple $(1)).
define windows_exports
	@cmake -DOBJDUMP=$(1)-objdump -DCXXFILT=$(1)-c++filt \
	  -DDLL=$(2)/bin/Util.dll -DEXE=$(2)/bin/tessmar-util.exe \
	  -DEXPECTED=$(3) -DUPDATE=ON -P cmake/check_dll_exports.cmake
endef

windows:
	@$(DEPS) base windows
	$(call windows_build,windows,build/windows)

windows-test: windows
	@scripts/windows-test.sh

windows-demo: windows
	@cd build/windows && ./wine-run bin/tessmar-util.exe demo; status=$$?; \
	  WINEPREFIX=$(CURDIR)/build/windows/wine-prefix /usr/lib/wine/wineserver -k 2>/dev/null; \
	  exit $$status

# 32-bit Windows: the same into build/windows-x86 with the i686 cross compiler, the suite under
# 32-bit Wine (a win32 prefix in build/windows-x86/wine-prefix).
windows-x86:
	@$(DEPS) base windows-x86
	$(call windows_build,windows-x86,build/windows-x86)

windows-x86-test: windows-x86
	@scripts/windows-test.sh --preset windows-x86

# Rewrites util/util_dll_exports.txt (x64) or util/util_dll_exports_x86.txt from the built
# Util.dll, after a deliberate change of the exported interface (the test dll_exports compares
# the DLL with its list).
windows-exports: windows
	$(call windows_exports,x86_64-w64-mingw32,build/windows,util/util_dll_exports.txt)

windows-x86-exports: windows-x86
	$(call windows_exports,i686-w64-mingw32,build/windows-x86,util/util_dll_exports_x86.txt)

format:
	@$(DEPS) format
	@find util cli bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf build
