#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into tests/fixtures/fuzz/<target>/.

Run from anywhere; it rewrites the seeds it knows and leaves other files (regression inputs kept
from crashes) alone. Each seed's first bytes follow the layout its target documents.
"""
import os, random, zlib

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'fixtures', 'fuzz')
def put(target, name, data):
    os.makedirs(os.path.join(root, target), exist_ok=True)
    if isinstance(data, str): data = data.encode('cp1251')
    with open(os.path.join(root, target, name), 'wb') as f: f.write(data)

G = '{6F9619FF-8B86-D011-B42D-00C04FC964FF}'
put('reply_lines_fuzz', 'replies', b'\x80\x00' + 'Ok/17\r\nOk\r\nError/4/нет запроса\r\nОшибка/1/путь/с/косыми\r\n'.encode('cp1251'))
put('reply_lines_fuzz', 'short_limit', b'\x0a\x01\x05' + b'Ok/123456789\r\nOk/12345678\r\n\r\n')
put('reply_lines_fuzz', 'odd_numbers', b'\x80\x00' + b'Ok/+5\nOk/2147483648\nOk/-1/2\nOk/ 7\nErr/x/y\n/\n\r\r\n')
put('reply_lines_fuzz', 'no_line_end', b'\x80\x02\x00\x07' + b'Ok/1\r\nOk/2')

put('command_lines_fuzz', 'catalogue', G + '/1')
put('command_lines_fuzz', 'resend', G + '/0/update t set a = 1\x09\x08where b = 2')
put('command_lines_fuzz', 'open', '/2/C:\\DB\\сайт.fdb')
put('command_lines_fuzz', 'fetch', '/4/17')
put('command_lines_fuzz', 'close', '/3/')
put('command_lines_fuzz', 'not_a_kind', '/01/x')
put('command_lines_fuzz', 'no_kind', 'abc')

put('agent_lines_fuzz', 'commands', b'\xff' + (G + '/1\r\n/2/C:\\DB\\сайт.fdb\r\n/4/17\r\n/3/\r\n').encode('cp1251'))
put('agent_lines_fuzz', 'limit_edges', b'\x04' + b'abcd\r\nabcd\nab\r\r\nabcde\r\n')
put('agent_lines_fuzz', 'partial_last_line', b'\x10' + b'/3/\r\n/4/1')

rows = ('1\t2\tЛенина\t10\t\t\t3\t10.0.0.5\t4001\t1\r\n'
        '5\tP\t12.50000\t01.02.2026 03:04:05\r\n').encode('cp1251')
def block(control, payload, tail=b''):
    return bytes([control]) + payload + tail
put('file_block_fuzz', 'rows', block(0x8c, zlib.compress(rows)))
put('file_block_fuzz', 'rows_in_pieces', bytes([0x8f, 0, 6, 200]) + zlib.compress(rows))
put('file_block_fuzz', 'trailing_bytes_in_payload', block(0x8c, zlib.compress(rows) + b'junk'))
stored = zlib.compress(bytes(random.Random(7).randrange(256) for _ in range(1013)), 0)
assert len(stored) == 1024
put('file_block_fuzz', 'exactly_1024', block(0x8c, stored))
put('file_block_fuzz', 'one_short_of_1024', block(0x88, stored))
put('file_block_fuzz', 'exactly_2048', block(0x8c, zlib.compress(bytes(random.Random(8).randrange(256) for _ in range(2037)), 0)))
p = zlib.compress(rows)
put('file_block_fuzz', 'explicit_length_and_reply_after', b'\x00' + len(p).to_bytes(4, 'big') + p + b'Ok\r\n')
put('file_block_fuzz', 'negative_length', b'\x00\xff\xff\xff\xfeOk\r\n')
put('file_block_fuzz', 'cut_short', b'\x00\x00\x00\x01\x00' + p[:10])
put('file_block_fuzz', 'empty_stream', block(0x8c, zlib.compress(b'')))

put('inflate_fuzz', 'rows', zlib.compress(rows))
put('inflate_fuzz', 'empty_content', zlib.compress(b''))
put('inflate_fuzz', 'stored', zlib.compress(rows, 0))
put('inflate_fuzz', 'large_output', zlib.compress(b'7\tA\t1.5\t01.01.2026\r\n' * 4000, 9))
put('inflate_fuzz', 'bad_adler', zlib.compress(rows)[:-1] + b'\x00')
put('inflate_fuzz', 'truncated', zlib.compress(rows)[:-5])

for i, t in enumerate(['01.02.2026', '1.2.2026 3:04', '29.02.2024 23:59:59', '31.12.9999 0:00:00',
                       '01.01.0001', '29.02.2100', '1.1.2026  12:30', '01.13.2026', "01.01.2026'", '1.1.2026 24:00']):
    put('date_text_fuzz', 'date%d' % i, t)

doc = ('[Main]\r\nperiod=10\r\nchk=1\r\n[1]\r\nods=Котельная\r\nhost=127.0.0.1\r\nport=5029\r\n'
       'db_path=C:\\DB\\metering.fdb\r\nremote_db_path=D:\\site.fdb\r\ndb_type=0\r\n'
       'dtime=01.02.2026 3:04:05\r\nf32=-17\r\nservers=4\r\n\r\n[2]\r\nods=Диспетчерская\r\nhost=10.0.0.2\r\n')
def ds(s): return s.replace('\\', '\\\\').encode('cp1251') + b'\\x'
put('profile_document_fuzz', 'new_key', ds('1') + ds('dtime') + ds('02.02.2026') + doc.encode('cp1251'))
put('profile_document_fuzz', 'existing_key', ds('MAIN') + ds('PERIOD') + ds(' 15 ') + doc.encode('cp1251'))
put('profile_document_fuzz', 'new_section', ds('3') + ds('ods') + ds('Новый') + b'[1]\nhost=x')
put('profile_document_fuzz', 'bom_and_lf', ds('Main') + ds('chk') + ds('0') + b'\xef\xbb\xbf[Main]\nchk=1\n  \n')

put('settings_file_fuzz', 'two_objects', doc)
put('settings_file_fuzz', 'odd_sections', '[Main]\nperiod=0x10\n[5]\nods=a\n[abc]\n[2]\nhost=1234567890123456789\n[-1]\n[007]\ndtime=31.12.2025\n[ 9 ]\nf32=0xFFFFFFFF\n')
put('settings_file_fuzz', 'bad_values', b'\xef\xbb\xbf[1]\r\nport=99999999999\r\ndtime=30.02.2026\r\nservers=abc\r\n[1]\r\nods=twice\r\n')

put('result_rows_fuzz', 'rows', b'\x00' + rows)
put('result_rows_fuzz', 'lone_ends', b'\x00a\tb\rc\n\n\r\r\nd\t\t')
# 0xF0 | k: a filler row first, ending k bytes before the end of the reader's 64 KiB buffer.
put('result_rows_fuzz', 'crlf_across_buffer', b'\xf1\r\nabc\tdef')
put('result_rows_fuzz', 'cr_at_buffer_end', b'\xf1\rx')
put('result_rows_fuzz', 'row_across_buffer', b'\xf4a\tb\tc\r\n')
put('result_rows_fuzz', 'row_at_buffer_start', b'\xf0\n\n\t')
