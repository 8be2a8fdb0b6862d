# Two commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORM ?= $(if $(DISPLAY)$(WAYLAND_DISPLAY),,offscreen)

.PHONY: all deps build test run asan clean fuzz fuzz-replay fuzz-corpus

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The demo city's program folder: written by mkcity when missing or when
# mkcity was rebuilt; the user's files there (tarn.ini, signs.map) are kept.
DEMO = $(BUILD)/demo

# The program finds its files beside itself, so it runs from a copy in the
# demo folder. Only what it runs is built: the program, the symbol library
# and mkcity.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target tarn tarn_symbols mkcity
	@if [ ! -f $(DEMO)/tarn.prj ] || [ $(BUILD)/tools/mkcity -nt $(DEMO)/tarn.prj ]; then \
	  $(BUILD)/tools/mkcity $(DEMO); fi
	cp -f $(BUILD)/app/tarn $(DEMO)/tarn
	cd $(DEMO) && ./tarn

# The data, model and platform tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (the platform tests with Qt offscreen).
ASAN_TESTS = tests/data/tarn_data_tests tests/platform/tarn_platform_tests tests/model/tarn_model_tests \
             tests/tools/tarn_tools_tests tests/fuzz/tarn_fuzz_tests tests/db/tarn_db_tests
# The app's windows too, for their lifetimes.
ASAN_TESTS += tests/app/tarn_app_tests
asan: deps
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTARN_SANITIZE=ON -DTARN_BENCH=OFF
	cmake --build $(BUILD)-asan -j$(JOBS) --target $(notdir $(ASAN_TESTS))
	# Dynamic TLS is not tracked: GCC 12's leak checker read a stale range
	# of an unloaded library there and crashed at the fuzz tests' exit.
	ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 JOBS=$(JOBS) bash scripts/shard-run.sh $(addprefix $(BUILD)-asan/,$(ASAN_TESTS))

# The readers under libFuzzer (clang, in $(BUILD)-fuzz): `make fuzz` runs
# each target for FUZZ_SECONDS, `make fuzz-replay` runs the committed seeds
# and regression inputs once, `make fuzz-corpus` writes and minimises the seeds.
FUZZ_SECONDS ?= 60
FUZZ_PARALLEL ?= 4
FUZZ_ENV = FUZZ_BUILD=$(BUILD)-fuzz JOBS=$(JOBS) FUZZ_PARALLEL=$(FUZZ_PARALLEL)
fuzz:
	@bash scripts/install-deps.sh --fuzz
	$(FUZZ_ENV) bash scripts/fuzz.sh run $(FUZZ_SECONDS)

fuzz-replay:
	@bash scripts/install-deps.sh --fuzz
	$(FUZZ_ENV) bash scripts/fuzz.sh replay

fuzz-corpus:
	@bash scripts/install-deps.sh --fuzz
	$(FUZZ_ENV) bash scripts/fuzz.sh corpus

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz
