#!/usr/bin/env python3
"""Packs the show's generated data (gfx/ and sfx/ of a data folder) into one
file for the web page, data.pack, and writes site.json: each file's path,
offset and size in the pack, and the download size of every file the page
fetches (for its progress bar), and the show's timeline (timeline.json, which
the generator writes into the data folder) for the page's chapters.

usage: pack-data.py DATA_DIR SITE_DIR
"""
import json
import os
import sys


def js_name(raw: bytes) -> str:
    # The program names files by bytes; in the browser those bytes reach the
    # file system as a JS string decoded as UTF-8 with U+FFFD for every
    # invalid byte. The page must create each file under that same string.
    return raw.decode('utf-8', errors='replace')


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 1
    data_dir = os.fsencode(sys.argv[1])
    site_dir = sys.argv[2]
    entries = []
    blobs = []
    offset = 0
    for sub in (b'gfx', b'sfx'):
        folder = os.path.join(data_dir, sub)
        if not os.path.isdir(folder):
            print(f'pack-data: {os.fsdecode(folder)}: no such folder (generate the data first)',
                  file=sys.stderr)
            return 1
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if not os.path.isfile(path):
                continue
            with open(path, 'rb') as f:
                blob = f.read()
            entries.append({'path': js_name(sub + b'/' + name), 'offset': offset, 'size': len(blob)})
            blobs.append(blob)
            offset += len(blob)
    os.makedirs(site_dir, exist_ok=True)
    with open(os.path.join(site_dir, 'data.pack'), 'wb') as f:
        for blob in blobs:
            f.write(blob)
    sizes = {}
    for name in ('ostramere.wasm', 'data.pack'):
        p = os.path.join(site_dir, name)
        if not os.path.isfile(p):
            print(f'pack-data: {p}: missing', file=sys.stderr)
            return 1
        sizes[name] = os.path.getsize(p)
    timeline_path = os.path.join(data_dir, b'timeline.json')
    try:
        with open(timeline_path, 'rb') as f:
            timeline = json.loads(f.read().decode('utf-8'))
    except (OSError, ValueError) as e:
        print(f'pack-data: {os.fsdecode(timeline_path)}: {e} (generate the data first)', file=sys.stderr)
        return 1
    with open(os.path.join(site_dir, 'site.json'), 'w', encoding='utf-8') as f:
        json.dump({'sizes': sizes, 'data': entries, 'timeline': timeline}, f, ensure_ascii=False, indent=0)
        f.write('\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
