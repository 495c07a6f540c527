#!/usr/bin/env bash
# Installs every Debian 12 package that Kestrel's build, tests, benchmarks,
# fuzzing and programs need. Idempotent: packages already present are left
# alone, and the package lists are refreshed only when something is missing.
#
# The list names what the tests load at run time too, not only what the
# build links: a machine set up with --no-install-recommends gets neither
# Qt's platform plugins nor fonts nor GStreamer's plugin sets through the
# development packages alone.
set -euo pipefail

packages=(
  # build
  cmake g++ ninja-build pkg-config git ccache
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing (scripts/fuzz.sh): Debian 12's clang 14 and its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
  # user interface; the Qt tests run on the offscreen platform and draw text
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  qt6-qpa-plugins fontconfig fonts-dejavu-core
  # Traditional Chinese texts drawn as characters, not boxes (offscreen screenshots too),
  # and Qt's own texts (Yes, No, OK, Cancel) in Traditional Chinese
  fonts-noto-cjk qt6-translations-l10n
  # the program on X11: the single-instance test and the lock lights (xcb)
  libxcb1-dev
  # the program's tests and the main job on a private X server: Xvfb, key
  # presses and window moves (xdotool), screenshots (imagemagick), sockets (ss)
  xvfb xauth xdotool imagemagick iproute2
  # media: the element tests load videotestsrc, appsrc/appsink, audioconvert
  # (base), mulaw (good), gsm (bad) and FFmpeg's H.263 and TrueSpeech codecs (libav)
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools
  # TrueSpeech tests and benchmark: FFmpeg's decoder, GSM 06.10 reference, speech and its recognition
  libavcodec-dev libavutil-dev gstreamer1.0-plugins-bad espeak-ng espeak-ng-data sox libsox-fmt-base
  pocketsphinx pocketsphinx-en-us pocketsphinx-testdata
  # RTP library
  libortp-dev libbctoolbox-dev
  # sound mixer
  libasound2-dev
  # the floating picture: X11 key grabs, detectable auto-repeat, the desktop portal over D-Bus
  libxcb-keysyms1-dev libxcb-xkb-dev
  # its tests: input shapes and XTEST input, a private session bus, a light window manager, the stand-in game test
  libxcb-shape0-dev libxcb-xtest0-dev dbus-daemon openbox xvfb xdotool x11-utils imagemagick
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

# A package can be recorded as installed while its files are gone (a
# cleaned image, a hand removal). Looking for each listed file costs about a
# second; packages with a file missing are installed again. Documentation,
# which images often strip on purpose, does not count.
files_missing() {
  dpkg-query -L "$@" 2>/dev/null | grep '^/' |
    grep -vE '^/usr/share/(doc|man|info|locale|lintian|help)/' |
    xargs -d '\n' -r stat -c '' 2>&1 >/dev/null | grep -c "cannot stat" || true
}
damaged=()
present=()
for package in "${packages[@]}"; do
  [[ " ${missing[*]} " == *" $package "* ]] || present+=("$package")
done
if [ ${#present[@]} -gt 0 ] && [ "$(files_missing "${present[@]}")" -gt 0 ]; then
  for package in "${present[@]}"; do
    [ "$(files_missing "$package")" -eq 0 ] || damaged+=("$package")
  done
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#damaged[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
if [ ${#damaged[@]} -gt 0 ]; then
  echo "install-deps: files of ${damaged[*]} are missing; installing them again"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "${damaged[@]}"
fi
