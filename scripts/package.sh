#!/usr/bin/env bash
# Builds the Debian package of Kyrotune: installs what is missing, builds a scratch copy of the
# working tree (build folders left out) with dpkg-buildpackage, and puts
# dist/kyrotune_VERSION_ARCH.deb in the checkout. The last line printed is the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh dpkg-dev debhelper fakeroot lintian

# The package carries the version the program reports (--version), so the two cannot drift apart.
project_version=$(sed -n 's/^project(kyrotune VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package_version=$(dpkg-parsechangelog -S Version)
if [ "$project_version" != "$package_version" ]; then
  echo "debian/changelog is at $package_version but CMakeLists.txt at $project_version: add a changelog entry" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source_dir=$scratch/kyrotune-$package_version
mkdir "$source_dir"
# The working tree as it is, new files not yet committed included; a deleted file is not listed.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar -c --null -T - | tar -x -C "$source_dir"
else
  tar -c --exclude=./.git --exclude='./build*' --exclude=./dist . | tar -x -C "$source_dir"
fi

mkdir -p dist
log=$root/dist/package-build.log
echo "Building the package in $source_dir (log: $log)"
if ! (cd "$source_dir" &&
      DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)${DEB_BUILD_OPTIONS:+ $DEB_BUILD_OPTIONS}" \
        dpkg-buildpackage -us -uc -b) >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "The package build failed; its whole output is in $log" >&2
  exit 1
fi

deb=kyrotune_${package_version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
cp "$scratch/$deb" dist/
echo "$root/dist/$deb"
