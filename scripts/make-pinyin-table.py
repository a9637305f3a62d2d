#!/usr/bin/python3
"""Writes the table of pinyin initials that src/runtime/pinyin.cpp includes, from the Unihan readings.

    /usr/bin/python3 scripts/make-pinyin-table.py UNIHAN_READINGS OUTPUT.inc

UNIHAN_READINGS is Unihan_Readings.txt of Debian's package unicode-data (/usr/share/unicode, compressed
with bzip2 there; a plain text file is read too). The build runs this for every preset and writes the table
into the build folder; nothing generated is kept in the repository.

For each Han character, the initials are the first letters of its Mandarin readings, diacritics removed
("lǜ" gives l, "ǎi" a). The readings are those of kMandarin (one, rarely two, per character: the most
common) and, where the data has them, of the modern dictionaries kXHC1983 and kTGHZ2013 and of the
frequency list kHanyuPinlu, so that a character read two ways matches by either: 长 (zhǎng, cháng), 重
(zhòng, chóng), 厦 (shà, xià), 行 (xíng, háng). kHanyuPinyin is left out: it adds mostly classical readings
nobody types.

The table is two-level, by pages of 256 code points:
    kPinyinPageOfBlock[cp >> 8]   0 for a block without a reading, else the index of its page in kPinyinPages
    kPinyinPages[page][cp & 255]  0: no reading; 1 to 26: one initial, 'a' + value - 1;
                                  27 and more: several, kPinyinInitialSets[value - 27] (bit letter - 'a')
Code points from kPinyinBlocks * 256 on have no reading.
"""
import bz2
import os
import sys
import unicodedata

FIELDS = ('kMandarin', 'kXHC1983', 'kTGHZ2013', 'kHanyuPinlu')
SINGLE_LETTERS = 26
PAGE = 256


def fail(message):
    sys.exit('make-pinyin-table: ' + message)


def readings(value):
    """The readings of one field value: 'zhǎng(1879) cháng(1179)', '0121.040:cháng 1456.020:zhǎng', 'de dì'."""
    for entry in value.split():
        entry = entry.rsplit(':', 1)[-1]  # a dictionary position before the reading
        entry = entry.split('(', 1)[0]    # a frequency after it
        for reading in entry.split(','):
            if reading:
                yield reading


def initial(reading):
    letter = unicodedata.normalize('NFD', reading)[0].lower()
    if not 'a' <= letter <= 'z':
        fail('a reading that does not begin with a Latin letter: %r' % reading)
    return ord(letter) - ord('a')


def read_initials(path):
    opener = bz2.open if path.endswith('.bz2') else open
    initials = {}
    version = None
    try:
        with opener(path, 'rt', encoding='utf-8') as data:
            for number, line in enumerate(data, 1):
                if line.startswith('# Unicode version:'):
                    version = line.split(':', 1)[1].strip()
                if line.startswith('#') or not line.strip():
                    continue
                parts = line.rstrip('\n').split('\t')
                if len(parts) != 3 or not parts[0].startswith('U+'):
                    fail('%s:%d: not a Unihan line: %r' % (path, number, line[:80]))
                code, field, value = parts
                if field not in FIELDS:
                    continue
                point = int(code[2:], 16)
                for reading in readings(value):
                    initials[point] = initials.get(point, 0) | (1 << initial(reading))
    except OSError as error:
        fail('cannot read %s (%s): install the Debian package unicode-data (scripts/setup.sh)' %
             (path, error.strerror))
    if len(initials) < 20000:
        fail('%s holds readings of only %d characters: not the Unihan readings' % (path, len(initials)))
    return initials, version or 'unknown'


def table(initials):
    sets = sorted({mask for mask in initials.values() if mask & (mask - 1)})
    if len(sets) > 255 - SINGLE_LETTERS:
        fail('%d sets of several initials do not fit in a byte' % len(sets))
    code_of_set = {mask: SINGLE_LETTERS + 1 + index for index, mask in enumerate(sets)}

    def code(point):
        mask = initials.get(point, 0)
        if mask == 0:
            return 0
        if mask & (mask - 1):
            return code_of_set[mask]
        return mask.bit_length()  # one letter: its number, a = 1

    blocks = max(initials) // PAGE + 1
    pages = [[0] * PAGE]  # page 0: no readings, shared by every empty block
    page_of_block = []
    for block in range(blocks):
        page = [code(block * PAGE + offset) for offset in range(PAGE)]
        if any(page):
            page_of_block.append(len(pages))
            pages.append(page)
        else:
            page_of_block.append(0)
    return page_of_block, pages, sets


def numbers(values, per_line):
    lines = []
    for start in range(0, len(values), per_line):
        lines.append('    ' + ','.join(str(value) for value in values[start:start + per_line]) + ',')
    return '\n'.join(lines)


def main():
    if len(sys.argv) != 3:
        fail('usage: make-pinyin-table.py UNIHAN_READINGS OUTPUT.inc')
    source, output = sys.argv[1], sys.argv[2]
    initials, version = read_initials(source)
    page_of_block, pages, sets = table(initials)
    text = [
        '// Pinyin initials of %d Han characters, from %s (Unicode %s, fields %s).' %
        (len(initials), os.path.basename(source), version, ', '.join(FIELDS)),
        '// Written by scripts/make-pinyin-table.py while building: do not edit.',
        'constexpr std::uint32_t kPinyinBlocks = %d;' % len(page_of_block),
        'constexpr std::uint16_t kPinyinPageOfBlock[kPinyinBlocks] = {',
        numbers(page_of_block, 24),
        '};',
        'constexpr std::uint8_t kPinyinPages[%d][%d] = {' % (len(pages), PAGE),
    ]
    for page in pages:
        text += ['{', numbers(page, 64), '},']
    text += [
        '};',
        'constexpr std::uint32_t kPinyinInitialSets[%d] = {' % len(sets),
        numbers(sets, 12),
        '};',
        '',
    ]
    with open(output + '.part', 'w', encoding='ascii') as out:
        out.write('\n'.join(text))
    os.replace(output + '.part', output)


if __name__ == '__main__':
    main()
