#!/bin/sh
# Installs packaged PHP libraries for editor-bench's real-PHP input (the
# files under /usr/share/php). Run by hand, as root or through sudo; the
# bench falls back to generated text of the same shape without them.
set -e
if [ -d /usr/share/php ] && find /usr/share/php -name '*.php' | head -1 | grep -q .; then
  echo "packaged PHP is installed"
  exit 0
fi
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -q
$SUDO apt-get install -y --no-install-recommends php-symfony-console php-symfony-http-foundation \
  php-doctrine-dbal php-pear
