# Sourced by the scripts that configure build folders (not run by itself).
#
# forget_stale_cache BUILD_FOLDER: a checkout that was copied or moved keeps build folders
# whose CMake cache names the old source folder, and CMake then refuses to configure them.
# Such a folder loses its cache (CMakeCache.txt and CMakeFiles) and is configured afresh;
# its object files stay and are rebuilt as their sources require. Run from the source folder.
forget_stale_cache() {
  local dir=$1
  local cache="$dir/CMakeCache.txt"
  [ -f "$cache" ] || return 0
  local home
  home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
  # Physical paths on both sides: a checkout reached through a symbolic link is not stale.
  if [ -n "$home" ] && [ "$(cd "$home" 2>/dev/null && pwd -P)" = "$(pwd -P)" ]; then
    return 0
  fi
  echo "$dir was configured for ${home:-another folder}: configuring it again for $(pwd -P)" >&2
  rm -rf "$cache" "$dir/CMakeFiles"
}
