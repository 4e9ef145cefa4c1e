# The two commands: `make run` and `make test`. Both install what is missing, then build.
BUILD ?= build
JOBS ?= 2

.PHONY: run test build setup bench package clean

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

# The Debian packages, into $(BUILD)/packages (docs/ADMIN.md).
package: build
	@cmake --build $(BUILD) --target package
	@ls -l $(BUILD)/packages/*.deb

clean:
	@rm -rf $(BUILD)
