# The two commands a new user runs: `make run` and `make test`.
# Both install what is missing, build, and then run Varnoke or every test.

BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench fuzz install clean

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

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

# Every fuzz target under libFuzzer for FUZZ_SECONDS each. New inputs go to
# $(FUZZ_BUILD)/corpus, crashes to $(FUZZ_BUILD)/crashes; the seeds in
# fuzz/corpus are only read.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVARNOKE_LIBFUZZER=ON \
	  -DVARNOKE_BUILD_TESTS=OFF -DVARNOKE_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$$//')
	@for target in fuzz/fuzz_*.cpp; do \
	  name=$$(basename $$target .cpp); seeds=fuzz/corpus/$${name#fuzz_}; \
	  found=$(FUZZ_BUILD)/corpus/$${name#fuzz_}; mkdir -p $$found $(FUZZ_BUILD)/crashes; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $(FUZZ_BUILD)/bin/$$name -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$name- $$found $$seeds || exit 1; \
	done

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf $(BUILD)
