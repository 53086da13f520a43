#!/usr/bin/env python3
"""Generates src/text/CodePageData.cpp: the mapping tables of the code pages
that the charset converter handles with tables (94 single-byte, 9 double-byte).

Usage (from the top of the source tree, on a Debian-like system):

    python3 tools/charset-tables/generate.py --output src/text/CodePageData.cpp

Every table is read from a converter that already ships with the system and
was itself built from the published mapping of the code page:

  py:NAME     Python's codec NAME. The cpNNN and mac_* codecs were generated
              from the Microsoft and Apple mapping files (MAPPINGS/VENDORS/
              MICSFT, .../APPLE); cp932/cp949/cp950/gbk from the Microsoft
              double-byte mappings.
  glibc:NAME  glibc's iconv converter NAME (called through ctypes); used for
              the IBM EBCDIC pages and the ISO 646 national variants that
              Python does not carry. glibc's IBMnnn converters follow IBM's
              CDRA tables, which the Windows EBCDIC pages follow too.
  perl:NAME   Perl's Encode table NAME (run as a subprocess); used only for the
              Apple pages that neither Python nor glibc knows (Mac Hebrew,
              Mac Thai, Mac Japanese). Encode's Mac tables are Apple's
              published mapping files.

No source on the machine knows these pages; each is derived from a related
table by the documented rule in its entry below:
  708    ASMO-708: the Arabic letters and signs of ISO-8859-6 (same layout).
  20105  IA5 IRV (T.50, 1983): ASCII with 0x24 CURRENCY SIGN, 0x7E OVERLINE.
  20838  IBM Thai (CCSID 838): glibc's IBM1160, which is 838 plus the euro at
         0xFE; the euro is removed.
  20924  IBM Latin-9 (CCSID 924): the layout of IBM1047 with the eight
         characters that ISO-8859-15 changes from ISO-8859-1.
  51932  EUC-JP: code page 932 moved to EUC form (JIS rows 1-94 and the
         half-width katakana after 0x8E), the way Windows builds it.
  51936  EUC-CN: code page 936 restricted to ASCII and the EUC range
         (both bytes 0xA1-0xFE).
  38598  ISO-8859-8-I: the same bytes as 28598; only the display order differs.
  10001  Mac Japanese: Perl's Apple table, see perl:.

Corrections that make a source equal the published mapping are listed in
CORRECTIONS with their reason. A mapping the published file gives as a
sequence (Apple's tables pair a character with a private-use rendering hint
U+F87x) keeps the base character; other sequences stay unmapped, since a
table entry holds one UTF-16 unit.

The output stores each table as text: a kind letter ('b' = bzip2 container,
'x' = not compressed), then Base64 of the container (magic 0xB394A7E1 LE,
unpacked length LE, bzip2 stream). Unpacked layout:
  flag byte    'a' single-byte page, 'b' double-byte page
  format byte  'r' delta-coded runs
  varint runCount, then per run: varint gap (first code minus the end of the
    previous run), varint length, then `length` zigzag varints, each unit
    minus the previous unit (the first relative to the last unit of the
    previous run, starting at 0)
  varint overrideCount, then per override: varint unit, varint code — the
    byte sequence to write for a unit that several sequences read as; units
    without an override are written as their lowest sequence.
A code is the byte for a single byte, lead * 256 + trail for a pair.
"""

import argparse
import base64
import bz2
import codecs
import ctypes
import ctypes.util
import struct
import subprocess
import sys

MAGIC = 0xB394A7E1
LINE_WIDTH = 76
# Chunks of the stored text stay below the 64 KB string-literal limit of
# some compilers; each table is emitted as an array of short lines.

# ---------------------------------------------------------------------------
# Sources


class Table:
    """A code page table: forward map code -> unit, preferred code per unit."""

    def __init__(self, double_byte):
        self.double_byte = double_byte
        self.forward = {}
        self.preferred = {}

    def candidates(self):
        by_unit = {}
        for code in sorted(self.forward):
            by_unit.setdefault(self.forward[code], []).append(code)
        return by_unit


def reduce_sequence(text):
    """One UTF-16 unit for a decoded sequence, or None (see module doc)."""
    if len(text) == 1 and ord(text) <= 0xFFFF:
        return ord(text)
    if len(text) == 2 and 0xF870 <= ord(text[1]) <= 0xF87F and ord(text[0]) <= 0xFFFF:
        return ord(text[0])
    return None


class PythonCodec:
    def __init__(self, name):
        self.name = name
        codecs.lookup(name)

    def decode(self, data):
        try:
            return data.decode(self.name)
        except UnicodeDecodeError:
            return None

    def encode(self, unit):
        try:
            return chr(unit).encode(self.name)
        except UnicodeEncodeError:
            return None


class GlibcIconv:
    """glibc's iconv through ctypes; one descriptor per direction."""

    _libc = None

    def __init__(self, name):
        if GlibcIconv._libc is None:
            libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
            libc.iconv_open.restype = ctypes.c_void_p
            libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
            libc.iconv.restype = ctypes.c_size_t
            libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
            GlibcIconv._libc = libc
        self.name = name
        self.to_utf16 = self._open("UTF-16LE", name)
        self.from_utf16 = self._open(name, "UTF-16LE")

    def _open(self, to, frm):
        cd = self._libc.iconv_open(to.encode(), frm.encode())
        if cd in (None, ctypes.c_void_p(-1).value):
            sys.exit(f"glibc iconv does not know {frm} -> {to}")
        return cd

    def _run(self, cd, data):
        libc = self._libc
        libc.iconv(cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        outbuf = ctypes.create_string_buffer(64)
        inptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        outptr = ctypes.c_char_p(ctypes.addressof(outbuf))
        inleft = ctypes.c_size_t(len(data))
        outleft = ctypes.c_size_t(64)
        rc = libc.iconv(cd, ctypes.byref(inptr), ctypes.byref(inleft),
                        ctypes.byref(outptr), ctypes.byref(outleft))
        if rc == ctypes.c_size_t(-1).value or inleft.value != 0:
            return None
        # Flush a pending state (a stateful converter may still hold a byte).
        rc = libc.iconv(cd, None, None, ctypes.byref(outptr), ctypes.byref(outleft))
        if rc == ctypes.c_size_t(-1).value:
            return None
        return outbuf.raw[:64 - outleft.value]

    def decode(self, data):
        out = self._run(self.to_utf16, data)
        return None if out is None else out.decode("utf-16-le")

    def encode(self, unit):
        return self._run(self.from_utf16, struct.pack("<H", unit))


class PerlEncode:
    """Perl's Encode tables, read once in bulk through a subprocess."""

    SCRIPT = r'''
use Encode;
my ($name, $double) = @ARGV;
my $enc = find_encoding($name) or die "unknown encoding $name\n";
sub show { my ($bytes) = @_;
  my $s = $enc->decode($bytes, Encode::FB_QUIET);
  return if length($bytes) != 0 || length($s) == 0;
  return join(" ", map { sprintf "%04X", ord } split //, $s); }
for my $b (0 .. 255) { my $r = show(chr($b)); printf "%02X %s\n", $b, $r if defined $r; }
if ($double) { for my $l (0x80 .. 0xFF) { for my $t (0x40 .. 0xFF) {
  my $r = show(chr($l) . chr($t)); printf "%04X %s\n", $l * 256 + $t, $r if defined $r; } } }
'''

    def __init__(self, name, double_byte=False):
        self.name = name
        out = subprocess.run(["perl", "-e", self.SCRIPT, name, "1" if double_byte else "0"],
                             check=True, capture_output=True, text=True).stdout
        self.map = {}
        for line in out.splitlines():
            code, *units = line.split()
            data = bytes.fromhex(code)
            self.map[data] = "".join(chr(int(u, 16)) for u in units)

    def decode(self, data):
        return self.map.get(data)

    def encode(self, unit):
        return None


def open_source(spec, double_byte=False):
    kind, name = spec.split(":", 1)
    if kind == "py":
        return PythonCodec(name)
    if kind == "glibc":
        return GlibcIconv(name)
    if kind == "perl":
        return PerlEncode(name, double_byte)
    raise ValueError(spec)


def read_single_byte(source):
    table = Table(double_byte=False)
    for b in range(256):
        text = source.decode(bytes([b]))
        unit = None if text is None else reduce_sequence(text)
        if unit is not None:
            table.forward[b] = unit
    return table


def read_double_byte(source):
    table = read_single_byte(source)
    table.double_byte = True
    for lead in range(0x80, 0x100):
        if lead in table.forward:
            continue
        for trail in range(0x30, 0x100):
            text = source.decode(bytes([lead, trail]))
            unit = None if text is None else reduce_sequence(text)
            if unit is not None:
                table.forward[lead * 256 + trail] = unit
    return table


def choose_preferred(table, source):
    """Where several sequences read as one unit, ask the source's encoder."""
    for unit, codes in table.candidates().items():
        if len(codes) < 2:
            continue
        encoded = source.encode(unit) if source else None
        if encoded is None:
            continue
        code = encoded[0] if len(encoded) == 1 else (encoded[0] << 8 | encoded[1]) if len(encoded) == 2 else None
        if code in codes and code != codes[0]:
            table.preferred[unit] = code


def load(spec, double_byte=False, preference=True):
    source = open_source(spec, double_byte)
    table = read_double_byte(source) if double_byte else read_single_byte(source)
    # Python builds a single-byte encoder from its decoding table, so the last
    # of several bytes wins by accident, not by the vendor's choice; there the
    # lowest byte is written.
    if preference and (double_byte or not spec.startswith("py:")):
        choose_preferred(table, source)
    return table


def derive_mac_hebrew():
    # Apple's table reads 0x20-0x3F, the brackets, "|" and DEL as ASCII with
    # a left-to-right hint and repeats most of them at 0xA0-0xFF right-to-
    # left; Perl keeps only the second set, which would leave spaces, digits
    # and "<" unreadable. The ASCII bytes come back, and (lowest byte first)
    # they are what is written.
    table = load("perl:MacHebrew")
    for b in list(range(0x20, 0x40)) + [0x5B, 0x5D, 0x7B, 0x7C, 0x7D, 0x7F]:
        table.forward.setdefault(b, b)
    return table


def derive_mac_arabic():
    # Apple's table repeats ASCII punctuation at 0xA0-0xFD as right-to-left
    # variants; Python's encoder writes those, the converter writes ASCII.
    return load("py:mac_arabic", preference=False)


# ---------------------------------------------------------------------------
# Derived pages


def derive_irv_1983():
    table = load("py:ascii")
    table.forward[0x24] = 0x00A4
    table.forward[0x7E] = 0x203E
    return table


def derive_asmo_708():
    return load("py:iso8859_6")


def derive_ibm_thai():
    table = load("glibc:IBM1160")
    del table.forward[0xFE]      # CCSID 1160 = 838 plus the euro at 0xFE
    return table


def derive_ibm_924():
    base = load("glibc:IBM1047")
    latin1_to_latin9 = {}
    for b in range(0xA0, 0x100):
        old, new = bytes([b]).decode("latin_1"), bytes([b]).decode("iso8859_15")
        if old != new:
            latin1_to_latin9[ord(old)] = ord(new)
    table = Table(double_byte=False)
    for code, unit in base.forward.items():
        table.forward[code] = latin1_to_latin9.get(unit, unit)
    return table


def sjis_to_jis(lead, trail):
    """JIS row and cell (1-based) of a Shift_JIS pair, or None."""
    if 0x81 <= lead <= 0x9F:
        row = (lead - 0x81) * 2 + 1
    elif 0xE0 <= lead <= 0xEF:
        row = (lead - 0xC1) * 2 + 1
    else:
        return None
    if 0x40 <= trail <= 0x7E:
        cell = trail - 0x3F
    elif 0x80 <= trail <= 0x9E:
        cell = trail - 0x40
    elif 0x9F <= trail <= 0xFC:
        row, cell = row + 1, trail - 0x9E
    else:
        return None
    return row, cell


def derive_euc_jp(cp932):
    table = Table(double_byte=True)
    moved = {}
    for code, unit in cp932.forward.items():
        if code < 0x80:
            new = code
        elif 0xA1 <= code <= 0xDF:
            new = 0x8E00 | code
        elif code > 0xFF and sjis_to_jis(code >> 8, code & 0xFF):
            row, cell = sjis_to_jis(code >> 8, code & 0xFF)
            new = (row + 0xA0) << 8 | (cell + 0xA0)
        else:
            continue
        table.forward[new] = unit
        moved[code] = new
    for unit, code in cp932.preferred.items():
        if code in moved:
            table.preferred[unit] = moved[code]
    fix_preferred(table, cp932, moved)
    return table


def fix_preferred(table, base, moved):
    """Keeps the base page's choice where several sequences share a unit."""
    for unit, codes in table.candidates().items():
        if len(codes) < 2 or unit in table.preferred:
            continue
        base_codes = [c for c, u in base.forward.items() if u == unit]
        choice = base.preferred.get(unit, min(base_codes))
        if choice in moved and moved[choice] != codes[0]:
            table.preferred[unit] = moved[choice]


def derive_euc_range(base):
    """ASCII and the pairs with both bytes in 0xA1-0xFE of a Windows DBCS page."""
    table = Table(double_byte=True)
    moved = {}
    for code, unit in base.forward.items():
        if code < 0x80 or (code > 0xFF and 0xA1 <= (code >> 8) <= 0xFE and 0xA1 <= (code & 0xFF) <= 0xFE):
            table.forward[code] = unit
            moved[code] = code
    for unit, code in base.preferred.items():
        if code in moved:
            table.preferred[unit] = code
    fix_preferred(table, base, moved)
    return table


def cp932_rank(code):
    """Windows writes a character that code page 932 holds several times in
    this order: JIS X 0208, NEC row 13 (0x87), IBM extensions (0xFA-0xFC),
    NEC-selected IBM extensions (0xED-0xEE). Python's encoder picks the
    NEC-selected codes instead, so the rule is applied here."""
    lead = code >> 8
    if lead == 0x87:
        return 1
    if 0xFA <= lead <= 0xFC:
        return 2
    if 0xED <= lead <= 0xEE:
        return 3
    return 0


def prefer_cp932(table):
    table.preferred = {}
    for unit, codes in table.candidates().items():
        best = min(codes, key=lambda c: (cp932_rank(c), c))
        if best != codes[0]:
            table.preferred[unit] = best


def big5_eudc_c6a1():
    """Code page 950 reads its user-defined rows 0xC6A1-0xC8FE as U+F6B1-U+F848
    (CP950.TXT lists them); Python's cp950 reads the ETEN extensions there."""
    codes = []
    for lead in range(0xC6, 0xC9):
        for trail in list(range(0x40, 0x7F)) + list(range(0xA1, 0xFF)):
            code = lead << 8 | trail
            if code >= 0xC6A1:
                codes.append(code)
    return {code: 0xF6B1 + i for i, code in enumerate(codes)}


# ---------------------------------------------------------------------------
# Corrections to a source, each with its reason.

C1_REASON = ("Windows reads the bytes that the vendor file leaves undefined in "
             "0x80-0x9F as the C1 control of the same value (MBTABLE of the best-fit file)")

CORRECTIONS = {
    936: [(0x80, 0x20AC, "EURO SIGN is the single byte 0x80 in code page 936 (CP936.TXT); "
                         "Python's gbk lacks it")],
}

C1_FILL_PAGES = (874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258)


def apply_corrections(cp, table):
    notes = []
    if cp == 932:
        prefer_cp932(table)
        notes.append("written form of repeated characters: " + " ".join(cp932_rank.__doc__.split()))
    if cp == 950:
        for code, unit in big5_eudc_c6a1().items():
            old = table.forward.get(code)
            table.forward[code] = unit
            if old is not None and table.preferred.get(old) == code:
                del table.preferred[old]
        notes.append("0xC6A1-0xC8FE -> U+F6B1-U+F848: " + " ".join(big5_eudc_c6a1.__doc__.split()))
    if cp in C1_FILL_PAGES:
        filled = [b for b in range(0x80, 0xA0) if b not in table.forward]
        for b in filled:
            table.forward[b] = b
        if filled:
            notes.append(f"{len(filled)} undefined bytes of 0x80-0x9F: {C1_REASON}")
    for code, unit, reason in CORRECTIONS.get(cp, []):
        table.forward[code] = unit
        notes.append(f"0x{code:X} -> U+{unit:04X}: {reason}")
    return notes


# ---------------------------------------------------------------------------
# The code pages: (code page, source or derivation, note)

SINGLE_BYTE = [
    (28591, "py:latin_1", ""), (28592, "py:iso8859_2", ""), (28593, "py:iso8859_3", ""),
    (28594, "py:iso8859_4", ""), (28595, "py:iso8859_5", ""), (28596, "py:iso8859_6", ""),
    (28597, "py:iso8859_7", ""), (28598, "py:iso8859_8", ""), (28599, "py:iso8859_9", ""),
    (28603, "py:iso8859_13", ""), (28605, "py:iso8859_15", ""),
    (1250, "py:cp1250", ""), (1251, "py:cp1251", ""), (1252, "py:cp1252", ""),
    (1253, "py:cp1253", ""), (1254, "py:cp1254", ""), (1255, "py:cp1255", ""),
    (1256, "py:cp1256", ""), (1257, "py:cp1257", ""), (1258, "py:cp1258", ""),
    (37, "py:cp037", ""), (437, "py:cp437", ""), (500, "py:cp500", ""),
    (708, derive_asmo_708, "no source knows ASMO-708; ISO-8859-6 (Python iso8859_6) has its layout"),
    (720, "py:cp720", ""), (737, "py:cp737", ""), (775, "py:cp775", ""), (850, "py:cp850", ""),
    (852, "py:cp852", ""), (855, "py:cp855", ""), (857, "py:cp857", ""), (858, "py:cp858", ""),
    (860, "py:cp860", ""), (861, "py:cp861", ""), (862, "py:cp862", ""), (863, "py:cp863", ""),
    (864, "py:cp864", ""), (865, "py:cp865", ""), (866, "py:cp866", ""), (869, "py:cp869", ""),
    (870, "glibc:IBM870", ""), (874, "py:cp874", ""), (875, "py:cp875", ""),
    (1026, "py:cp1026", ""), (1047, "glibc:IBM1047", ""), (1140, "py:cp1140", ""),
    (1141, "glibc:IBM1141", ""), (1142, "glibc:IBM1142", ""), (1143, "glibc:IBM1143", ""),
    (1144, "glibc:IBM1144", ""), (1145, "glibc:IBM1145", ""), (1146, "glibc:IBM1146", ""),
    (1147, "glibc:IBM1147", ""), (1148, "glibc:IBM1148", ""), (1149, "glibc:IBM1149", ""),
    (10000, "py:mac_roman", ""), (10004, derive_mac_arabic, "Python mac_arabic (Apple ARABIC.TXT); the ASCII byte wins "
                               "where a right-to-left duplicate reads as the same character"),
    (10005, derive_mac_hebrew, "Apple HEBREW.TXT through Perl Encode; neither Python nor glibc knows it; "
                                "the ASCII bytes Perl leaves out read as themselves"),
    (10006, "py:mac_greek", ""), (10007, "py:mac_cyrillic", ""), (10010, "py:mac_romanian", ""),
    (10017, "glibc:MAC-UK", ""),
    (10021, "perl:MacThai", "Apple THAI.TXT through Perl Encode; neither Python nor glibc knows it"),
    (10029, "py:mac_latin2", ""), (10079, "py:mac_iceland", ""), (10081, "py:mac_turkish", ""),
    (10082, "py:mac_croatian", ""),
    (20105, derive_irv_1983, "no source knows the 1983 IRV; ASCII with 0x24 U+00A4 and 0x7E U+203E"),
    (20106, "glibc:DIN_66003", ""), (20107, "glibc:SEN_850200_B", ""), (20108, "glibc:NS_4551-1", ""),
    (20127, "py:ascii", ""),
    (20261, "glibc:T.61-8BIT", "the diacritic prefixes 0xC1-0xCF need a base letter and stay unmapped"),
    (20269, "glibc:ISO_6937", "the diacritic prefixes 0xC1-0xCF need a base letter and stay unmapped"),
    (20273, "glibc:IBM273", "Python's cp273 reads 0xBC as OVERLINE; IBM's table, like 037's, has MACRON"), (20277, "glibc:IBM277", ""), (20278, "glibc:IBM278", ""),
    (20280, "glibc:IBM280", ""), (20284, "glibc:IBM284", ""), (20285, "glibc:IBM285", ""),
    (20290, "glibc:IBM290", ""), (20297, "glibc:IBM297", ""), (20420, "glibc:IBM420", ""),
    (20423, "glibc:IBM423", ""), (20424, "py:cp424", ""),
    (20838, derive_ibm_thai, "no source knows CCSID 838; glibc IBM1160 without its euro at 0xFE"),
    (20866, "py:koi8_r", ""), (20871, "glibc:IBM871", ""), (20880, "glibc:IBM880", ""),
    (20905, "glibc:IBM905", ""),
    (20924, derive_ibm_924, "no source knows CCSID 924; glibc IBM1047 with the ISO-8859-15 changes"),
    (21025, "glibc:IBM1025", ""), (21866, "py:koi8_u", ""),
    (38598, "py:iso8859_8", "ISO-8859-8-I has the bytes of ISO-8859-8 (logical order)"),
]

DOUBLE_BYTE = [
    (932, "py:cp932", ""), (936, "py:gbk", ""), (949, "py:cp949", ""), (950, "py:cp950", ""),
    (51932, (derive_euc_jp, 932), "no source has Windows' EUC-JP; code page 932 in EUC form"),
    (51936, (derive_euc_range, 936), "no source has Windows' EUC-CN; code page 936 in the EUC range"),
    (51949, (derive_euc_range, 949), "no source has Windows' EUC-KR; code page 949 in the EUC range"), (1361, "py:johab", ""),
    (10001, "perl:MacJapanese", "Apple JAPANESE.TXT through Perl Encode; neither Python nor glibc knows it"),
]


def build_all():
    tables, notes = {}, {}
    for cp, how, note in SINGLE_BYTE:
        table = load(how) if isinstance(how, str) else how()
        notes[cp] = [f"source {how if isinstance(how, str) else how.__name__}"] + ([note] if note else [])
        notes[cp] += apply_corrections(cp, table)
        tables[cp] = table
    for cp, how, note in DOUBLE_BYTE:
        if isinstance(how, str):
            table = load(how, double_byte=True)
            notes[cp] = [f"source {how}"]
        else:
            derive, base = how
            table = derive(tables[base])
            notes[cp] = [f"source {derive.__name__} of {base}"]
        notes[cp] += ([note] if note else []) + apply_corrections(cp, table)
        tables[cp] = table
    return tables, notes


# ---------------------------------------------------------------------------
# Encoding


def varint(n):
    out = bytearray()
    while True:
        byte = n & 0x7F
        n >>= 7
        if n:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def zigzag(n):
    return (n << 1) if n >= 0 else ((-n << 1) - 1)


def runs_of(codes):
    runs, start = [], None
    for code in codes:
        if start is not None and code == runs[-1][0] + runs[-1][1]:
            runs[-1][1] += 1
        else:
            runs.append([code, 1])
            start = code
    return runs


def encode_table(table):
    # 0xFFFF serves the reader as "no code" and "no unit".
    assert all(code < 0xFFFF and unit < 0xFFFF for code, unit in table.forward.items())
    out = bytearray(b"b" if table.double_byte else b"a")
    out += b"r"
    codes = sorted(table.forward)
    runs = runs_of(codes)
    out += varint(len(runs))
    end, unit = 0, 0
    for first, length in runs:
        out += varint(first - end) + varint(length)
        for code in range(first, first + length):
            out += varint(zigzag(table.forward[code] - unit))
            unit = table.forward[code]
        end = first + length
    overrides = sorted(table.preferred.items())
    out += varint(len(overrides))
    for unit, code in overrides:
        out += varint(unit) + varint(code)
    return bytes(out)


def stored_text(data):
    container = struct.pack("<II", MAGIC, len(data)) + bz2.compress(data, 9)
    return "b" + base64.b64encode(container).decode("ascii")


def emit(tables, notes, out):
    w = out.write
    w("// Generated by tools/charset-tables/generate.py; do not edit by hand.\n")
    w("// Regenerate from the top of the source tree (Python 3, glibc iconv, Perl Encode):\n")
    w("//   python3 tools/charset-tables/generate.py --output src/text/CodePageData.cpp\n")
    w("// The stored form is described in the generator.\n\n")
    w('#include "text/CodePageData.h"\n\nnamespace plentor {\n\nnamespace {\n\n')
    order = [cp for cp, _, _ in SINGLE_BYTE] + [cp for cp, _, _ in DOUBLE_BYTE]
    for cp in order:
        for line in notes[cp]:
            w(f"// {cp}: {line}\n")
        text = stored_text(encode_table(tables[cp]))
        w(f"const char* const kText{cp}[] = {{\n")
        for i in range(0, len(text), LINE_WIDTH):
            w(f'    "{text[i:i + LINE_WIDTH]}",\n')
        w("    nullptr};\n\n")
    w("} // namespace\n\nconst CodePageData kCodePageData[] = {\n")
    for cp in order:
        kind = "kDoubleByte" if tables[cp].double_byte else "kSingleByte"
        w(f"    {{{cp}, CodePageData::{kind}, kText{cp}}},\n")
    w("};\n\nconst unsigned kCodePageDataCount = sizeof(kCodePageData) / sizeof(kCodePageData[0]);\n\n")
    w("} // namespace plentor\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", help="file to write (default: standard output)")
    args = parser.parse_args()
    tables, notes = build_all()
    if args.output:
        with open(args.output, "w", encoding="ascii", newline="\n") as out:
            emit(tables, notes, out)
    else:
        emit(tables, notes, sys.stdout)


if __name__ == "__main__":
    main()
