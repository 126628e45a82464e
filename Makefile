# The two commands a new user runs: `make run` and `make test`.
# Both install what is missing, build, and then run Varnoke or every test.

BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-core test-sanitize bench fuzz screenshots install clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

configure: $(BUILD)/build.ninja

build: deps configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/varnoke

test: test-core test-sanitize

test-core: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The core again with AddressSanitizer and UndefinedBehaviorSanitizer: every
# test of everything without widgets or the web view must run clean.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
test-sanitize: deps
	@test -f $(SANITIZE_BUILD)/build.ninja || cmake -S . -B $(SANITIZE_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -g1" -DVARNOKE_CORE_ONLY=ON \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

# Every fuzz target under libFuzzer for FUZZ_SECONDS each. New inputs go to
# $(FUZZ_BUILD)/corpus, crashes to $(FUZZ_BUILD)/crashes; the seeds in
# fuzz/corpus are only read. fuzzer-no-link gives every library the coverage
# counters, so the fuzzer sees the readers' branches and not only the target's.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVARNOKE_LIBFUZZER=ON \
	  -DVARNOKE_BUILD_TESTS=OFF -DVARNOKE_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$$//')
	@for target in fuzz/fuzz_*.cpp; do \
	  name=$$(basename $$target .cpp); seeds=fuzz/corpus/$${name#fuzz_}; \
	  found=$(FUZZ_BUILD)/corpus/$${name#fuzz_}; mkdir -p $$found $(FUZZ_BUILD)/crashes; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $(FUZZ_BUILD)/bin/$$name -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$name- $$found $$seeds || exit 1; \
	done

# The windows under a virtual screen with a compositor, saved as PNG files
# into SHOTS so they can be looked at after any change.
SHOTS ?= $(BUILD)/screenshots
screenshots: build
	@bash scripts/screenshots.sh $(BUILD) $(SHOTS)

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD)
