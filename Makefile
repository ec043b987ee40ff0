# make        build into build/ (programs in build/bin/)
# make test   install what is missing, build, run every test
# make demo   install what is missing, build, run the main job on examples/
# make bench  the cut against ogr2ogr -clipsrc, the map canvas against QGIS, on large generated layers (minutes)
# make fuzz   build the libFuzzer targets into build-fuzz (clang) and run each FUZZ_SECONDS
# make install [PREFIX=/usr/local]  build, then install the program, its libraries, templates,
#                                   manual pages and the QGIS plugin under PREFIX (DESTDIR too)
# make package  build the Debian package into build/package (CPack, dependencies by dpkg-shlibdeps)
# make qgis-plugin  the QGIS plugin as a zip for QGIS's "Install from ZIP" (build/areaclip_plugin.zip)
# make windows-check  install MinGW-w64 and Wine if missing, build the module as a Windows
#                     DLL into build-mingw, register and check it under Wine and compare
#                     with the same checks on the stand-in
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 20
PREFIX ?= /usr/local

.PHONY: all deps test demo bench fuzz windows-deps windows-check clean install package qgis-plugin

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

install: all
	cmake --install $(BUILD) --prefix $(PREFIX)

package: all
	cmake --build $(BUILD) --target package

qgis-plugin:
	scripts/qgis-plugin.sh $(BUILD)/areaclip_plugin.zip

windows-deps:
	@scripts/windows-check.sh --install-only

windows-check:
	scripts/windows-check.sh

clean:
	rm -rf $(BUILD)
