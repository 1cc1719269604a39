# The two set-up commands of the README.
#   make run      builds in Release and analyses the bundled Needham-Schroeder example
#   make test     builds and runs every test through CTest; run as root, it first
#                 installs the packages the tests need that are missing
# and
#   make report   builds tool-report in Release beside tool
#   make install  installs the programs and their manual pages under PREFIX
JOBS ?= 2
PREFIX ?= /usr/local

.PHONY: run test deps build-deps build release report install clean

# A unity build (several sources compiled as one) takes the test build from seven
# minutes to three and a half on two cores.
build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON
	cmake --build build -j $(JOBS)

release: build-deps
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS) --target tool

# tool, and tool-report where its libraries are installed.
report: release
	cmake --build build-release -j $(JOBS) --target programs

install: report
	cmake --install build-release --prefix $(PREFIX)

run: release
	cd examples/nspk && ../../build-release/tool principals.txt logic.txt join.txt knowledge.txt -V -max 2

# Without root, or when a package cannot be installed, the tests go on with
# what there is: GoogleTest is then built from Debian's source package.
deps:
	@if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
	  bash .ci/install-deps || echo "make: some packages could not be installed; going on"; \
	fi

# What building tool needs (xxHash), installed when missing and run as root.
build-deps:
	@if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
	  bash .ci/install-deps build || echo "make: some packages could not be installed; going on"; \
	fi

test: deps
	$(MAKE) build
	cd build && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-release build-asan
