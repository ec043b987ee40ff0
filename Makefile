# make        build into build/ (programs in build/bin/)
# make test   install what is missing, build, run every test
# make demo   install what is missing, build, run the main job on examples/
# make bench  the cut against ogr2ogr -clipsrc, the map canvas against QGIS, on large generated layers (minutes)
# make fuzz   build the libFuzzer targets into build-fuzz (clang) and run each FUZZ_SECONDS
# make windows-check  install MinGW-w64 and Wine if missing, build the module as a Windows
#                     DLL into build-mingw, register and check it under Wine and compare
#                     with the same checks on the stand-in
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 20

.PHONY: all deps test demo bench fuzz windows-deps windows-check clean

all: $(BUILD)/build.ninja
	cmake --build $(BUILD)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

deps:
	@scripts/install-deps.sh

test: deps
	$(MAKE) all
	ctest --test-dir $(BUILD) --output-on-failure -j2

demo: deps
	$(MAKE) all
	scripts/demo.sh $(BUILD)

bench: deps
	$(MAKE) all CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Release" BUILD=build-release
	python3 bench/run.py --build build-release

fuzz: deps
	scripts/fuzz.sh $(FUZZ_SECONDS)

windows-deps:
	@scripts/windows-check.sh --install-only

windows-check:
	scripts/windows-check.sh

clean:
	rm -rf $(BUILD)
