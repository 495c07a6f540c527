#!/usr/bin/env bash
# Installs every Debian 12 package that Kestrel's build, tests, benchmarks and
# programs need. Idempotent: packages already present are left alone, and the
# package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake g++ ninja-build pkg-config git
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # user interface
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  # Traditional Chinese texts drawn as characters, not boxes (offscreen screenshots too)
  fonts-noto-cjk
  # media
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools
  # TrueSpeech tests and benchmark: FFmpeg's decoder, GSM 06.10 reference, speech and its recognition
  libavcodec-dev libavutil-dev gstreamer1.0-plugins-bad espeak-ng sox
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

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
