#!/usr/bin/env python3
"""Writes a synthetic Motion template pack for the installation benchmarks: one top folder, the type folders, and in
them the template folders, each with a Motion document and incompressible media. Every other document lacks
"<canvas>", so preparing the pack has work to do. The media are stored, the documents deflated. With DOCUMENT_MEGABYTES
each document is that large instead (its layers repeated), so that preparing it shows its memory use.
Usage: make_template_pack.py ARCHIVE TEMPLATES MEGABYTES [DOCUMENT_MEGABYTES]"""

import random
import sys
import zipfile

FIXED_TIME = (2025, 1, 1, 0, 0, 0)
TOP = "KLV Bench Pack"
TYPES = (("Titles", ".moti"), ("Effects", ".moef"), ("Transitions", ".motr"), ("Generators", ".motn"))
LAYERS_PER_DOCUMENT = 12
MEDIA_FILE_LIMIT = 256 << 20
CHUNK = 8 << 20


def entry(name, compress_type):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.create_system = 3  # Unix, so the mode counts
    info.external_attr = 0o100644 << 16
    info.compress_type = compress_type
    return info


def folder(name):
    info = zipfile.ZipInfo(name + "/", FIXED_TIME)
    info.create_system = 3
    info.external_attr = (0o40755 << 16) | 0x10
    return info


def document(title, with_canvas):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<!DOCTYPE ozxmlscene>", '<ozml version="5.11">', "<scene>"]
    if with_canvas:
        lines.append("\t<canvas>")
    for layer in range(LAYERS_PER_DOCUMENT):
        lines.append("\t<layout>1</layout>")
        lines.append(f'\t<layer name="{title} {layer}" id="{10000 + layer}">')
        lines.append(f'\t\t<parameter name="Opacity" id="{layer}" flags="8606711824" value="1"/>')
        lines.append("\t</layer>")
    lines += ["</scene>", "</ozml>", ""]
    return "\n".join(lines)


def write_huge_document(archive, name, title, size):
    lines = document(title, False).split("\n")
    head, layers, tail = "\n".join(lines[:4]) + "\n", "\n".join(lines[4:8]) + "\n", "\n".join(lines[-3:])
    block = (layers * (CHUNK // len(layers))).encode()
    with archive.open(entry(name, zipfile.ZIP_DEFLATED), "w", force_zip64=True) as output:
        output.write(head.encode())
        written = len(head)
        while written + len(block) + len(tail) <= size:
            output.write(block)
            written += len(block)
        output.write(tail.encode())


def write_media(archive, name, size, generator):
    with archive.open(entry(name, zipfile.ZIP_STORED), "w", force_zip64=size > (1 << 31)) as media:
        while size > 0:
            chunk = min(size, CHUNK)
            media.write(generator.randbytes(chunk))
            size -= chunk


def main():
    archive_path, templates, megabytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    document_bytes = int(sys.argv[4]) << 20 if len(sys.argv) > 4 else 0
    media_per_template = (megabytes << 20) // templates
    generator = random.Random(templates)
    with zipfile.ZipFile(archive_path, "w", allowZip64=True) as archive:
        archive.writestr(folder(TOP), b"")
        for offset, (type_name, extension) in enumerate(TYPES):
            archive.writestr(folder(f"{TOP}/{type_name}"), b"")
            for index in range(offset, templates, len(TYPES)):
                title = f"Bench {type_name[:-1]} {index:04d}"
                base = f"{TOP}/{type_name}/{title}"
                archive.writestr(folder(base), b"")
                if document_bytes:
                    write_huge_document(archive, f"{base}/{title}{extension}", title, document_bytes)
                else:
                    archive.writestr(entry(f"{base}/{title}{extension}", zipfile.ZIP_DEFLATED),
                                     document(title, index % 2 == 0))
                remaining, part = media_per_template, 1
                while remaining > 0:
                    size = min(remaining, MEDIA_FILE_LIMIT)
                    write_media(archive, f"{base}/Media/Footage {part}.mov", size, generator)
                    remaining -= size
                    part += 1


if __name__ == "__main__":
    main()
