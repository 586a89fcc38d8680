#!/usr/bin/env python3
"""Makes the files that once made the readers take minutes and gigabytes and
times `tessivane-cli info` on each: a 16 x 16 TIFF page in 65520 x 65520
tiles, a PDF page dictionary of 80 000 keys, object-stream entries all at one
offset, a 200-page image PDF (needs PIL and img2pdf) and a page tree listing
one page 200 000 times.

    bench/hostile_files.py build/default/bin/tessivane-cli FOLDER
"""
import os, struct, subprocess, sys, zlib


def pdf(objects, version=b'1.4'):
    out, offsets = b'%PDF-' + version + b'\n', []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b'%d 0 obj\n' % number + body + b'\nendobj\n'
    table = len(out)
    out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objects) + 1)
    out += b''.join(b'%010d 00000 n \n' % o for o in offsets)
    out += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (len(objects) + 1, table)
    return out, offsets, table


def tiles():
    data = zlib.compress(bytes(64))
    entries = [(256, 3, 16), (257, 3, 16), (258, 3, 8), (259, 3, 8), (262, 3, 1), (277, 3, 1),
               (322, 3, 65520), (323, 3, 65520), (324, 4, 8), (325, 4, len(data))]
    pad = b'\0' * (len(data) & 1)
    ifd = struct.pack('<H', len(entries)) + b''.join(
        struct.pack('<HHII', t, k, 1, v) for t, k, v in entries) + struct.pack('<I', 0)
    return b'II*\0' + struct.pack('<I', 8 + len(data) + len(pad)) + data + pad + ifd


def dictionary():
    keys = b''.join(b'/K%d %d ' % (i, i) for i in range(80000))
    return pdf([b'<< /Type /Catalog /Pages 2 0 R >>', b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
                b'<< /Type /Page /MediaBox [0 0 612 792] ' + keys + b'>>'])[0]


def object_stream(count=45000):
    header = b''.join(b'%d 0 ' % (100 + i) for i in range(count))
    data = header + b'<< /Type /Page /MediaBox [' + b'0 ' * 25000 + b'] >>'
    kids = b' '.join(b'%d 0 R' % (100 + i) for i in range(count))
    out, offsets, table = pdf([b'<< /Type /Catalog /Pages 2 0 R >>',
                               b'<< /Type /Pages /Kids [' + kids + b'] /Count %d >>' % count,
                               b'<< /Type /ObjStm /N %d /First %d /Length %d >>\nstream\n'
                               % (count, len(header), len(data)) + data + b'\nendstream'], b'1.5')
    out = out[:table]
    rows = struct.pack('>BIH', 0, 0, 0) + b''.join(struct.pack('>BIH', 1, o, 0) for o in offsets)
    rows += b''.join(struct.pack('>BIH', 2, 3, i) for i in range(count))
    rows = zlib.compress(rows)
    out += (b'4 0 obj\n<< /Type /XRef /Size %d /W [1 4 2] /Index [0 4 100 %d] /Root 1 0 R '
            b'/Filter /FlateDecode /Length %d >>\nstream\n' % (100 + count, count, len(rows)) +
            rows + b'\nendstream\nendobj\nstartxref\n%d\n%%%%EOF\n' % table)
    return out


def shared_kids(count=200000):
    image = (b'<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceGray '
             b'/BitsPerComponent 8 /Length 4 >>\nstream\n\x00\x40\x80\xff\nendstream')
    return pdf([b'<< /Type /Catalog /Pages 2 0 R >>',
                b'<< /Type /Pages /Kids [' + b'3 0 R ' * count + b'] /Count %d >>' % count,
                b'<< /Type /Page /MediaBox [0 0 72 72] /Resources << /XObject << /Im0 5 0 R >> >> '
                b'/Contents 4 0 R >>',
                b'<< /Length 28 >>\nstream\nq 72 0 0 72 0 0 cm /Im0 Do Q\nendstream', image])[0]


def pages(folder):
    from PIL import Image
    import img2pdf
    names = []
    for i in range(200):
        name = os.path.join(folder, 'p%03d.jpg' % i)
        Image.frombytes('L', (700, 500), os.urandom(700 * 500)).save(name, quality=95, dpi=(200, 200))
        names.append(name)
    return img2pdf.convert(names)


def main():
    cli, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    files = {'tiles.tif': tiles, 'dictionary.pdf': dictionary, 'object-stream.pdf': object_stream,
             'shared-kids.pdf': shared_kids, 'pages200.pdf': lambda: pages(folder)}
    for name, make in files.items():
        path = os.path.join(folder, name)
        try:
            with open(path, 'wb') as out:
                out.write(make())
        except ImportError as missing:
            print('%-18s skipped: %s' % (name, missing))
            continue
        run = subprocess.run(['/usr/bin/time', '-f', '%e s %M KB', cli, 'info', path],
                             capture_output=True, text=True)
        lines = run.stderr.strip().splitlines()
        print('%-18s %8d bytes  %s  %s' % (name, os.path.getsize(path), lines[-1],
                                          lines[0] if run.returncode else 'read'))


main()
