#!/usr/bin/env bash
# Builds the Windows programs and makes, in BUILD_DIR/dist/:
#   zelmora-VERSION-setup.exe   per-user installer (NSIS)
#   zelmora-VERSION-win64.zip   portable folder: the programs beside the data
#   scripts/windows/package.sh [BUILD_DIR]     (default build-win)
# Run from anywhere; as root on a fresh machine it installs what it needs
# (scripts/windows/deps.sh, through build.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-win}
# A package without the window is an error (0: the console programs alone).
require_window=${ZEL_REQUIRE_WINDOW:-1}

version=$(sed -n 's/^project(zelmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
scripts/windows/build.sh "$dir"

# The installed tree, as `cmake --install` lays it out: bin\ and share\zelmora\.
pkg=$dir/package
stage=$pkg/stage
rm -rf "$pkg" "$dir/dist"
mkdir -p "$pkg" "$dir/dist"
cmake --install "$dir" --prefix "$stage" --strip >/dev/null
for exe in zelmora-cli.exe zelmora-server.exe; do
  [ -f "$stage/bin/$exe" ] || { echo "package.sh: $exe was not built" >&2; exit 1; }
done
window=0
[ -f "$stage/bin/zelmora.exe" ] && window=1
if [ "$require_window" = 1 ] && [ "$window" = 0 ]; then
  echo "package.sh: zelmora.exe was not built" >&2
  exit 1
fi

# What the installer copies and, the other way round, removes: every file
# and folder of the tree by name, so nothing else is touched.
python3 - "$stage" "$pkg" <<'EOF'
import os, sys
stage, pkg = sys.argv[1:]
dirs, files = [], []
for folder, _, names in os.walk(stage):
    rel = os.path.relpath(folder, stage)
    if rel != ".":
        dirs.append(rel)
    files += [os.path.normpath(os.path.join(rel, n)) for n in names]
def win(rel):
    return "$INSTDIR" + "".join("\\" + p for p in rel.split(os.sep) if p not in ("", "."))
with open(os.path.join(pkg, "files.nsh"), "w") as out:
    for d in sorted(dirs):
        out.write(f'CreateDirectory "{win(d)}"\n')
    current = None
    for f in sorted(files):
        if os.path.dirname(f) != current:
            current = os.path.dirname(f)
            out.write(f'SetOutPath "{win(current)}"\n')
        out.write(f'File "{os.path.abspath(os.path.join(stage, f))}"\n')
with open(os.path.join(pkg, "unfiles.nsh"), "w") as out:
    for f in sorted(files):
        out.write(f'Delete "{win(f)}"\n')
    # Deepest first; RMDir leaves a folder that still holds something.
    for d in sorted(dirs, reverse=True):
        out.write(f'RMDir "{win(d)}"\n')
EOF

setup=$dir/dist/zelmora-$version-setup.exe
defines=(-DVERSION="$version" -DOUTFILE="$PWD/$setup" -DFILES="$PWD/$pkg/files.nsh"
         -DUNFILES="$PWD/$pkg/unfiles.nsh" -DSIZE_KB="$(du -sk "$stage" | cut -f1)")
[ "$window" = 1 ] && defines+=(-DWINDOW)
makensis -INPUTCHARSET UTF8 -V2 "${defines[@]}" packaging/windows/zelmora.nsi >"$pkg/makensis.log" ||
  { cat "$pkg/makensis.log" >&2; exit 1; }

# Portable: one folder holding the programs and the data side by side (as
# the build's app folder), which the programs use as it is.
zip=$dir/dist/zelmora-$version-win64.zip
python3 - "$stage" "$zip" "zelmora-$version" <<'EOF'
import os, sys, zipfile
stage, out, top = sys.argv[1:]
tmp = out + ".tmp"
with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr(top + "/Download/", "")
    for base in ("bin", "share/zelmora"):
        root = os.path.join(stage, base)
        for folder, dirs, files in os.walk(root):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                z.write(path, top + "/" + os.path.relpath(path, root))
os.replace(tmp, out)
EOF
ls -l "$setup" "$zip" | awk '{printf "%s: %d bytes\n", $NF, $5}'
