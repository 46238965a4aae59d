#!/usr/bin/env python3
"""Packs the show's generated data (gfx/ and sfx/ of a data folder) into one
file for the web page, data.pack, and writes site.json: each file's path,
offset and size in the pack, and the download size of every file the page
fetches (for its progress bar), the show's timeline (timeline.json, which
the generator writes into the data folder) for the page's chapters, and the
checkpoints a start point restores: every checkpoints/*.ockp of the data
folder is copied into the site's checkpoints/ (the page fetches only the one
a start point needs) and listed with its music time, read from its header.

usage: pack-data.py DATA_DIR SITE_DIR
"""
import json
import os
import shutil
import struct
import sys

# A checkpoint's header: the mark, then format version, program and data
# identity, gentle and settle flags, scene, tick, frame and music time.
CKP_MARK = b'OSTRACKP'
CKP_HEADER = struct.Struct('<8sIQQBBiIqI')


def js_name(raw: bytes) -> str:
    # The program names files by bytes; in the browser those bytes reach the
    # file system as a JS string decoded as UTF-8 with U+FFFD for every
    # invalid byte. The page must create each file under that same string.
    return raw.decode('utf-8', errors='replace')


def copy_checkpoints(data_dir: bytes, site_dir: str):
    """Copies the data folder's checkpoints into the site; returns
    {file name: {music_ms, scene, frame, size}}, or None after printing what is
    wrong with one."""
    folder = os.path.join(data_dir, b'checkpoints')
    listed = {}
    if not os.path.isdir(folder):
        return listed
    out = os.path.join(site_dir, 'checkpoints')
    os.makedirs(out, exist_ok=True)
    for raw in sorted(os.listdir(folder)):
        # The fullscreen runs' sets only: a live run in the page (a window's
        # timing) restores them with their ticks moved by the settle wait.
        if not raw.endswith(b'.ockp') or raw.endswith(b'-w.ockp'):
            continue
        path = os.path.join(folder, raw)
        with open(path, 'rb') as f:
            head = f.read(CKP_HEADER.size)
        if len(head) < CKP_HEADER.size or not head.startswith(CKP_MARK):
            print(f'pack-data: {os.fsdecode(path)}: not a checkpoint file (too short or no mark)', file=sys.stderr)
            return None
        (_, _, _, _, _, _, scene, _, frame, music_ms) = CKP_HEADER.unpack(head)
        name = js_name(raw)
        shutil.copyfile(path, os.path.join(out, name))
        listed[name] = {'music_ms': music_ms, 'scene': scene, 'frame': frame,
                        'size': os.path.getsize(path)}
    return listed


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
    checkpoints = copy_checkpoints(data_dir, site_dir)
    if checkpoints is None:
        return 1
    with open(os.path.join(site_dir, 'site.json'), 'w', encoding='utf-8') as f:
        json.dump({'sizes': sizes, 'data': entries, 'timeline': timeline, 'checkpoints': checkpoints},
                  f, ensure_ascii=False, indent=0)
        f.write('\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
