#!/usr/bin/env python3
"""Checks that every folder of src/ includes only from itself and the layers
below it, and that operating-system tests stay in the platform layer."""
import pathlib
import re
import sys

# Each folder with the folders it may include from (besides itself). An
# include names its folder first: "base/textcodec.h", "widgets/msgbox.h".
BELOW = {
    'core/base': [],
    'core/template': ['base'],
    'core/settings': ['base'],
    'core/generation': ['base', 'template', 'settings'],
    'core/upload': ['base', 'settings'],
    'gui/widgets': ['base', 'template', 'settings', 'generation', 'upload'],
    'gui/forms': ['base', 'template', 'settings', 'generation', 'upload', 'widgets'],
    'app': ['base', 'template', 'settings', 'generation', 'upload', 'widgets', 'forms'],
    'batch': ['base', 'template', 'settings', 'generation', 'upload'],
}
PLATFORM_FILES = re.compile(r'core/base/platform(_\w+)?\.(h|cpp)$')

src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else 'src').resolve()
faults = []
for path in sorted(src.rglob('*')):
    if path.suffix not in ('.h', '.cpp'):
        continue
    relative = path.relative_to(src).as_posix()
    folder = str(pathlib.PurePosixPath(relative).parent)
    if folder not in BELOW:
        faults.append(f'{relative}: the folder {folder}/ has no place in the layers')
        continue
    own = folder.split('/')[-1]
    text = path.read_text(encoding='utf-8')
    for number, line in enumerate(text.splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if m:
            target = m.group(1)
            top = target.split('/')[0] if '/' in target else own
            if top != own and top not in BELOW[folder]:
                faults.append(f'{relative}:{number}: {folder}/ may not include "{target}"')
        if re.search(r'\b(_WIN32|Q_OS_WIN|__linux__|Q_OS_UNIX)\b', line) \
                and not PLATFORM_FILES.search(relative):
            faults.append(f'{relative}:{number}: system test outside the platform layer')

for fault in faults:
    print(fault)
print(f'{len(faults)} layering faults' if faults else 'PASS: every include respects the layers')
sys.exit(1 if faults else 0)
