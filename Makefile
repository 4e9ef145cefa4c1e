# The two commands: `make run` and `make test`. Both install what is missing, then build.
BUILD ?= build
JOBS ?= 2

.PHONY: run test build setup bench clean

setup:
	@bash scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@bash scripts/test.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

clean:
	@rm -rf $(BUILD)
