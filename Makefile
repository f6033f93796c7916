# make run     - install what is missing, build, start the program (its archive is the per-user one)
# make test    - install what is missing, build, run every test headless, check the install tree and the
#                Debian package, then run every test again under the sanitizers
# make install - install under PREFIX (default /usr/local), inside DESTDIR when given
# make package - build the Debian package zelvaro_<version>_<arch>.deb (copied into this folder), in
#                build-package/ without the tests
# make bench   - build and run the benchmark (Release)
# make asan    - build with AddressSanitizer + UndefinedBehaviorSanitizer and run every test
# make mutants - seed each fault of tests/mutants.list into a scratch copy of the sources and check that
#                the tests named for it fail (run by hand; the sources here are never changed)
# make clean   - remove the build folders, except any archive left in them

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
PACKAGE_BUILD ?= build-package
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
PACKAGES   := g++ make cmake pkg-config qt6-base-dev libsqlite3-dev mdbtools-dev \
              locales fonts-dejavu-core poppler-utils libcups2-dev cups cups-client \
              printer-driver-cups-pdf libqt6svg6 qt6-translations-l10n \
              dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db
BIN        := $(BUILD)/bin

.PHONY: all deps build run test asan bench clean install package package-check mutants

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installazione pacchetti mancanti:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The program finds or creates its archive in the user's folders by itself: nothing is written here,
# so "make run" and an installed copy share one archive. An archive of earlier versions moves there.
run: build
	@sh cmake/migrate-build-archive.sh "$(BIN)"
	"$(BIN)/zelvaro"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) package-check
	$(MAKE) asan

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Only what the package ships, in a build folder of its own: no tests, no benchmark.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	rm -f $(PACKAGE_BUILD)/zelvaro_*.deb zelvaro_*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	cp $(PACKAGE_BUILD)/zelvaro_*.deb .
	@echo "Pacchetto pronto: $$(ls zelvaro_*.deb); per installarlo: sudo apt install ./$$(ls zelvaro_*.deb)"

# The install tree and the package as a user gets them: validators, lintian, the unpacked programs.
package-check: package
	sh tests/install/check-package.sh $(PACKAGE_BUILD)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZELVARO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

mutants: deps
	JOBS=$(JOBS) bash tests/mutants.sh

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target zelvaro-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bin/zelvaro-bench

# An archive (a *.mdb file, its journal, the ZELVARO.INI beside it) left in a build folder by an
# earlier version is never deleted: it stays where it is, and is named.
clean:
	@for d in $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD); do \
	  [ -d "$$d" ] || continue; \
	  find "$$d" ! -type d ! -iname '*.mdb' ! -iname '*.mdb-*' ! -name ZELVARO.INI -delete; \
	  find "$$d" -depth -type d -empty -delete; \
	  [ ! -d "$$d" ] || find "$$d" -type f -exec printf 'make clean: lasciato %s (un archivio non viene cancellato)\n' {} \; ; \
	done
