# Thin wrapper over CMake; `make run` and `make test` set everything up on Debian 12.
BUILD_DIR ?= build
# What building and running the program needs; the other commands add their own tools.
RUN_PACKAGES := cmake g++ make qt6-base-dev libjpeg-dev libxcb1-dev fonts-dejavu-core qt6-translations-l10n
# Qt's Wayland plugin, which `make run` adds only for a session without an X11
# server (the program uses X11 wherever there is one) or when Qt is told to use
# Wayland.
WAYLAND_PACKAGES := qt6-wayland
SESSION_PACKAGES := $(if $(or $(filter wayland%,$(QT_QPA_PLATFORM)),$(and $(WAYLAND_DISPLAY),$(if $(DISPLAY),,only))),$(WAYLAND_PACKAGES))
DEB_PACKAGES := $(RUN_PACKAGES) dpkg-dev file
BENCH_PACKAGES := $(RUN_PACKAGES) util-linux mount e2fsprogs
TEST_PACKAGES := $(RUN_PACKAGES) xvfb xauth xdotool x11-apps imagemagick strace util-linux libfuse3-dev fuse3 mount \
                 e2fsprogs acl dpkg-dev file lintian appstream desktop-file-utils openbox x11-utils weston $(WAYLAND_PACKAGES) \
                 dbus-bin dbus-daemon at-spi2-core locales
JOBS ?= $(shell nproc)

.PHONY: all deps deps-run deps-deb deps-bench build build-run display run test tsan bench install deb clean

all: build

# Installs the Debian packages of the list that are missing, running apt-get
# update first, when we are root; otherwise prints the apt-get line and stops.
define install-missing
@missing=""; for p in $(1); do \
  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
done; \
if [ -z "$$missing" ]; then exit 0; fi; \
if [ "$$(id -u)" = 0 ]; then \
  echo "Installing:$$missing"; \
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
else \
  echo "Missing packages. Run: sudo apt-get update && sudo apt-get install -y$$missing"; exit 1; \
fi
endef

deps:
	$(call install-missing,$(TEST_PACKAGES))
deps-run:
	$(call install-missing,$(RUN_PACKAGES) $(SESSION_PACKAGES))
deps-deb:
	$(call install-missing,$(DEB_PACKAGES))
deps-bench:
	$(call install-missing,$(BENCH_PACKAGES))

CONFIGURE = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# Everything: the program, the tests, the benchmark.
build: deps
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The program alone.
build-run: deps-run
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quintavo

# The program needs a display server unless Qt is told to use a plugin that does not.
display:
	@case "$${QT_QPA_PLATFORM:-xcb}" in xcb*|wayland*) \
	  if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	    echo "quintavo : il faut une session graphique (ni DISPLAY ni WAYLAND_DISPLAY n'est défini)" >&2; exit 1; \
	  fi;; \
	esac

# Checked before anything is installed or built.
run: display
	@$(MAKE) --no-print-directory build-run
	$(BUILD_DIR)/quintavo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 ctest --output-on-failure -j $(JOBS)

# The walk and its tests under ThreadSanitizer, in a build of their own: a
# data race fails. CI runs it after make test.
TSAN_DIR ?= build-tsan
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUINTAVO_SANITIZE=thread >/dev/null
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tst_walk tst_walkstall
	tests/tsan.sh $(TSAN_DIR)

bench: deps-bench
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target scan_bench make_tree par_walk pie_bench
	./bench/run_bench.sh $(BUILD_DIR)

# Installs under PREFIX (default /usr/local); DESTDIR stages a package.
PREFIX ?= /usr/local
install: build-run
	cmake --build $(BUILD_DIR) -j $(JOBS) --target package_docs
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package: $(BUILD_DIR)/quintavo_<version>_<arch>.deb.
deb: deps-deb
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quintavo package_docs
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
