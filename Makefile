# Thin wrapper over CMake; `make run` and `make test` set everything up on Debian 12.
BUILD_DIR ?= build
PACKAGES := cmake g++ make qt6-base-dev libjpeg-dev fonts-dejavu-core xvfb xauth xdotool x11-apps imagemagick strace util-linux \
            libfuse3-dev fuse3 mount e2fsprogs acl dpkg-dev file lintian appstream desktop-file-utils \
            qt6-translations-l10n openbox x11-utils libxcb1-dev
JOBS ?= $(shell nproc)

.PHONY: all deps build display run test bench install deb clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -z "$$missing" ]; then exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	else \
	  echo "Missing packages. Run: sudo apt-get update && sudo apt-get install -y$$missing"; exit 1; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The program needs a display server unless Qt is told to use a plugin that does not.
display:
	@case "$${QT_QPA_PLATFORM:-xcb}" in xcb*|wayland*) \
	  if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "quintavo : il faut une session graphique (ni DISPLAY ni WAYLAND_DISPLAY n'est défini)" >&2; exit 1; \
	  fi;; \
	esac

# Checked before anything is installed or built.
run: display
	@$(MAKE) --no-print-directory build
	./$(BUILD_DIR)/quintavo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 ctest --output-on-failure -j $(JOBS)

bench: build
	./bench/run_bench.sh $(BUILD_DIR)

# Installs under PREFIX (default /usr/local); DESTDIR stages a package.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package: $(BUILD_DIR)/quintavo_<version>_<arch>.deb.
deb: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
