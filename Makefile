# Two commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORM ?= $(if $(DISPLAY)$(WAYLAND_DISPLAY),,offscreen)

.PHONY: all deps build test run asan clean

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
# demo folder.
run: build
	@if [ ! -f $(DEMO)/tarn.prj ] || [ $(BUILD)/tools/mkcity -nt $(DEMO)/tarn.prj ]; then \
	  $(BUILD)/tools/mkcity $(DEMO); fi
	cp -f $(BUILD)/app/tarn $(DEMO)/tarn
	cd $(DEMO) && ./tarn

# The data, model and platform tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (the platform tests with Qt offscreen).
ASAN_TESTS = tests/data/tarn_data_tests tests/platform/tarn_platform_tests tests/model/tarn_model_tests tests/tools/tarn_tools_tests
# The app's windows too, for their lifetimes.
ASAN_TESTS += tests/app/tarn_app_tests
asan: deps
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTARN_SANITIZE=ON -DTARN_BENCH=OFF
	cmake --build $(BUILD)-asan -j$(JOBS) --target $(notdir $(ASAN_TESTS))
	for t in $(ASAN_TESTS); do \
	  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 $(BUILD)-asan/$$t --gtest_brief=1 || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(BUILD)-asan
