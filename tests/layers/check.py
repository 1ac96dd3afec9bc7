#!/usr/bin/env python3
"""Checks that every folder of src/ includes only from itself and the layers
below it, that operating-system tests and the system headers of one
operating system stay in the platform layer, and that every file path that
docs/architecture.md names is there."""
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
# Headers that exist on one operating system only (POSIX or Windows).
SYSTEM_HEADERS = re.compile(
    r'\s*#\s*include\s+<(sys/[^>]+|unistd\.h|termios\.h|fcntl\.h|poll\.h|pwd\.h|dlfcn\.h'
    r'|spawn\.h|dirent\.h|signal\.h|windows\.h|winsock2?\.h|ws2tcpip\.h|io\.h|direct\.h'
    r'|process\.h|shlobj\.h|knownfolders\.h|initguid\.h|conio\.h|wincrypt\.h)>', re.I)

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
        m = SYSTEM_HEADERS.match(line)
        if m and not PLATFORM_FILES.search(relative):
            faults.append(f'{relative}:{number}: <{m.group(1)}> outside the platform layer')

# Every path the architecture document names in `backticks`: a file or folder
# of the repository, or of src/; a module ("core/base/textcodec") by its .h
# or .cpp, a generated file by its .in; "*" as in a shell.
root = src.parent
doc = root / 'docs' / 'architecture.md'
if doc.is_file():
    named = set(re.findall(r'`([^`\s]+)`', doc.read_text(encoding='utf-8')))
    for name in sorted(named):
        looks_like_file = '/' in name or re.search(r'\.(h|cpp|py|sh|txt|cmake|in|md)$', name)
        if not looks_like_file or '://' in name or name.startswith(('~', '-', '$', '%', '<')):
            continue
        bare = name.rstrip('/')
        found = False
        for base in (root, src):
            for suffix in ('', '.h', '.cpp', '.in'):
                if list(base.glob(bare + suffix)):
                    found = True
        if not found and '/' not in bare:
            found = any('build' not in p.relative_to(root).parts
                        for suffix in ('', '.in') for p in root.rglob(bare + suffix))
        if not found:
            faults.append(f'docs/architecture.md: `{name}` names nothing in the repository')

for fault in faults:
    print(fault)
print(f'{len(faults)} layering faults' if faults
      else 'PASS: every include respects the layers; the document names what is there')
sys.exit(1 if faults else 0)
