# shellcheck shell=bash
# Checks shared by the installation tests; sourced, not run.
# check_tree ROOT COMMANDS: ROOT holds an installed /usr tree whose programs
# run from it alone, with no file of the build tree.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

check_tree() {
  local root=$1 commands=$2
  local app=$root/usr/lib/tessivane
  local file
  for file in \
    "$app/tessivane" "$app/tessivane-cli" "$app/tessivane-source-chooser" "$app/tessivane-sane-options" \
    "$app/libtessivane_dsm.so" \
    "$app/libtessivane_pagemem.so" "$app/twain_sources/virtual.ds" "$app/twain_sources/sane.ds" \
    "$root/usr/share/applications/com.vellumtrace.Tessivane.desktop" \
    "$root/usr/share/metainfo/com.vellumtrace.Tessivane.metainfo.xml" \
    "$root/usr/share/icons/hicolor/scalable/apps/tessivane.svg" \
    "$root/usr/share/tessivane/help/index.html" "$root/usr/share/tessivane/help/1000-main-window.html"; do
    [ -f "$file" ] || fail "missing $file"
  done

  local command
  for command in ${commands//;/ }; do
    [ -L "$root/usr/bin/$command" ] || fail "$root/usr/bin/$command is not a link"
    [ "$(readlink -f "$root/usr/bin/$command")" = "$(readlink -f "$app/$command")" ] ||
      fail "$root/usr/bin/$command does not lead to $app/$command"
  done

  # Every program and module finds its libraries in the installed tree, and
  # none of them still points into the build tree.
  local elf
  while IFS= read -r -d '' elf; do
    if ldd "$elf" | grep -q "not found"; then fail "$elf: $(ldd "$elf" | grep "not found")"; fi
    if readelf -d "$elf" | grep -E "RPATH|RUNPATH" | grep -q "$BUILD_DIR"; then fail "$elf refers to the build tree"; fi
  done < <(find "$app" -type f \( -name '*.so' -o -name '*.ds' -o -perm -u+x \) -print0)

  # A plug-in writer builds each sample module from the installed sdk folder
  # and the program folder alone, and the module exports the four functions.
  local sdk=$root/usr/share/tessivane/sdk sample symbol
  for sample in threshold scripted; do
    ${CC:-cc} -std=c11 -Wall -Wextra -Werror -shared -fPIC -I"$sdk" -o "$root/$sample.so" \
      "$sdk/samples/$sample.c" -L"$app" -ltessivane_pagemem ||
      fail "the $sample sample does not build from $sdk"
    for symbol in GetProcessDescription StartProcess ExecuteProcess EndProcess; do
      nm -D --defined-only "$root/$sample.so" | grep -qw "$symbol" || fail "$sample.so does not export $symbol"
    done
  done

  # The installed command reaches the manager, the virtual scanner and the
  # SANE bridge beside itself, through the link in bin/; SANE sees only its
  # test backend, never the machine's scanners. That backend loses a copy of
  # its device name and is unloaded before the program ends, so the leak
  # checker of a sanitizer build could not tell it from ours: it is off for
  # this one command (the bridge's own tests keep the backend loaded and check).
  local out
  mkdir -p "$root/sane" && echo test >"$root/sane/dll.conf" && echo "number_of_devices 1" >"$root/sane/test.conf"
  out=$(env -u TESSIVANE_TWAIN_DSM -u TESSIVANE_TWAIN_SOURCES -u TESSIVANE_APP_FOLDER \
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" SANE_CONFIG_DIR="$root/sane" \
    "$root/usr/bin/tessivane-cli" sources) ||
    fail "tessivane-cli sources failed"
  [ "$out" = "Virtual Scanner
Noname frontend-tester (test:0)" ] || fail "tessivane-cli sources printed: $out"

  desktop-file-validate "$root/usr/share/applications/com.vellumtrace.Tessivane.desktop" ||
    fail "installed desktop entry is not valid"
  local exec
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/com.vellumtrace.Tessivane.desktop")
  case ";$commands;" in
  *";$exec;"*) ;;
  *) fail "the desktop entry starts $exec, which is not installed" ;;
  esac
}
