# make run   - install what is missing, build, prepare archive and ZELVARO.INI, start the program
# make test  - install what is missing, build, run every test headless, then again under the sanitizers
# make bench - build and run the benchmark (Release)
# make asan  - build with AddressSanitizer + UndefinedBehaviorSanitizer and run every test

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
JOBS       ?= $(shell nproc)
PACKAGES   := g++ make cmake pkg-config qt6-base-dev libsqlite3-dev mdbtools-dev \
              locales fonts-dejavu-core poppler-utils libcups2-dev cups cups-client \
              printer-driver-cups-pdf
BIN        := $(BUILD)/bin

.PHONY: all deps build run test asan bench clean

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

run: build
	@if [ ! -e "$(BIN)/ZELVARO_97.mdb" ]; then "$(BIN)/zelvaro-archivio" crea "$(BIN)/ZELVARO_97.mdb"; fi
	@if [ ! -e "$(BIN)/ZELVARO.INI" ]; then \
	  printf '%s\r\n' "$$(cd "$(BIN)" && pwd)/ZELVARO_97.mdb" > "$(BIN)/ZELVARO.INI"; fi
	"$(BIN)/zelvaro"

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) asan

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZELVARO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target zelvaro-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bin/zelvaro-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
